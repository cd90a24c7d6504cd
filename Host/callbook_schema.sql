-- The host's callbook. The host creates it from this text and the demo generator writes the
-- same, so both always agree on the columns.
CREATE TABLE CALLBOOK (
    ID INTEGER PRIMARY KEY,
    OMCALL TEXT NOT NULL,
    DXCCPFX TEXT NOT NULL DEFAULT '',
    OMNAME TEXT NOT NULL DEFAULT '',
    QTH TEXT NOT NULL DEFAULT '',
    GRID TEXT NOT NULL DEFAULT '',
    Use_BUREAU INTEGER NOT NULL DEFAULT 0
);
-- Every bureau mark looks a call up by OMCALL; the prefix lookup selects by DXCCPFX.
CREATE INDEX CALLBOOK_OMCALL ON CALLBOOK (OMCALL);
CREATE INDEX CALLBOOK_DXCCPFX ON CALLBOOK (DXCCPFX);
