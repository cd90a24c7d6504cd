# The host's callbook database. The schema text lives in callbook_schema.sql, which the demo
# generator reads too; here it becomes a string constant of a generated header.
find_package(SQLite3 REQUIRED)

set(CALLBOOK_SCHEMA_FILE ${CMAKE_CURRENT_LIST_DIR}/callbook_schema.sql)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CALLBOOK_SCHEMA_FILE})
file(READ ${CALLBOOK_SCHEMA_FILE} CALLBOOK_SCHEMA_SQL)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/Host/CallbookSchema.h
     CONTENT "// Generated from Host/callbook_schema.sql; edit that file.\n#pragma once\n\ninline constexpr const char* kCallbookSchemaSql = R\"schema(@CALLBOOK_SCHEMA_SQL@)schema\";\n"
     @ONLY)

add_library(callbook STATIC ${CMAKE_CURRENT_LIST_DIR}/Callbook.cpp ${CMAKE_CURRENT_LIST_DIR}/SqlShape.cpp)
target_include_directories(callbook PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_link_libraries(callbook PUBLIC SQLite::SQLite3)
