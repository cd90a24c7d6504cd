#include "Host/SqlShape.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlShape, LiftsTextLiteralsOnly) {
    struct Case {
        const char* sql;
        const char* text;
        std::vector<std::string> literals;
    };
    const Case cases[] = {
        {"UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='UR5ABC'",
         "UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL=?",
         {"UR5ABC"}},
        {"SET QTH='O''Brien', GRID='' WHERE OMCALL='UT1A'",
         "SET QTH=?, GRID=? WHERE OMCALL=?",
         {"O'Brien", "", "UT1A"}},
        {R"(WHERE "it's"='a' -- 'b')", R"(WHERE "it's"=? -- 'b')", {"a"}},
        {"/* 'x' */ [a'b]=`c'd` OR e='y'", "/* 'x' */ [a'b]=`c'd` OR e=?", {"y"}},
        {"WHERE k=X'00FF' AND tax='z' AND a$b='w'", "WHERE k=X'00FF' AND tax=? AND a$b=?", {"z", "w"}},
        {"WHERE c='Київ'", "WHERE c=?", {"Київ"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const auto shape = LiftLiterals(c.sql);
        ASSERT_TRUE(shape.has_value());
        EXPECT_EQ(c.text, shape->Text);
        EXPECT_EQ(c.literals, shape->Literals);
    }
}

TEST(SqlShape, LeavesStatementsItCannotLiftSafely) {
    for (const char* sql : {"DELETE FROM CALLBOOK", "WHERE a=? AND b='x'", "WHERE a=:a AND b='x'",
                            "WHERE a=@a AND b='x'", "WHERE a=$a AND b='x'", "WHERE a='x",
                            "WHERE a='x' /* open", "WHERE a=\"x AND b='y'", "WHERE a=X'00'"}) {
        EXPECT_FALSE(LiftLiterals(sql).has_value()) << sql;
    }
}

} // namespace
