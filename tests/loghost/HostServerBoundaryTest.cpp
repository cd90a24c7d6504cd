// The host's database services as a plug-in reaches them: IHostServer calls with BSTRs over a real
// SQLite callbook.
#include "Host/Callbook.h"
#include "Host/HostServices.h"
#include "Platform/CodePage.h"
#include "PluginAPI/BStr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kUkrainianRows = 5000;

class HostServerBoundary : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("loghost_server_" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        callbook_ = std::make_unique<Callbook>(folder_ / "callbook.db");
        host_->SetCallbook(callbook_.get());
        server_ = host_.query<IHostServer>();
        ASSERT_TRUE(server_);
        // UR0AA ... UR4999AA, and stations of other countries that the plug-in's query leaves out.
        ASSERT_EQ(Exec("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL "
                       "SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(kUkrainianRows - 1) + ") SELECT 'UR' || i || 'AA', 'UR' FROM n"),
                  kUkrainianRows);
        ASSERT_EQ(Exec("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) VALUES ('UR5ABC', 'UR'), ('DL1ABC', 'DL'), "
                       "('UR7XYZ', 'UA')"),
                  3);
    }
    void TearDown() override {
        host_->SetCallbook(nullptr);
        callbook_.reset();
        std::filesystem::remove_all(folder_);
    }

    int32_t Exec(const std::string& sql) {
        int32_t result = -1;
        const HRESULT hr = server_->ExecSQL(BStr(AnsiToUnicode(sql)).get(), &result);
        EXPECT_GE(hr, 0) << sql;
        return result;
    }
    int32_t OpenUkrainianQuery() {
        int32_t query = 0;
        EXPECT_EQ(server_->CreateQuery(&query), S_OK);
        // The plug-in's own statement: "UR" in double quotes is a string literal, not a column.
        EXPECT_EQ(
            server_->OpenQuery(query, BStr(u"SELECT OMCALL FROM CALLBOOK WHERE DXCCPFX = \"UR\"").get()),
            S_OK);
        return query;
    }
    bool Locate(int32_t query, const std::u16string& call) {
        int32_t found = 7;
        EXPECT_EQ(server_->Locate(query, BStr(u"OMCALL").get(), BStr(call).get(), &found), S_OK)
            << UnicodeToAnsi(call);
        EXPECT_TRUE(found == 0 || found == BOOL32_TRUE);
        return found != 0;
    }

    std::filesystem::path folder_;
    ComPtr<HostServices> host_ = HostServices::Create();
    std::unique_ptr<Callbook> callbook_;
    ComPtr<IHostServer> server_;
};

TEST_F(HostServerBoundary, LocateAnswersForTheWholeResultInAnyOrder) {
    const int32_t query = OpenUkrainianQuery();
    std::vector<std::pair<std::u16string, bool>> cases;
    for (int i = 0; i < kUkrainianRows; ++i) {
        const std::u16string number = AnsiToUnicode(std::to_string(i));
        cases.emplace_back(u"UR" + number + u"AA", true);
        cases.emplace_back(u"UR" + number + u"ZZ", false);
    }
    cases.emplace_back(u"DL1ABC", false); // in the callbook, not in the query's result
    cases.emplace_back(u"UR7XYZ", false);
    std::shuffle(cases.begin(), cases.end(), std::mt19937(20240501));
    ASSERT_GE(cases.size(), 10000u);
    int wrong = 0;
    for (const auto& [call, expected] : cases)
        if (Locate(query, call) != expected && ++wrong <= 5)
            ADD_FAILURE() << UnicodeToAnsi(call) << " expected " << (expected ? "found" : "not found");
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(server_->FreeQuery(query), S_OK);
    EXPECT_EQ(host_->OpenQueries(), 0);
}

TEST_F(HostServerBoundary, ExecSqlSetsTheBureauFlagWhileTheQueryStaysOpen) {
    const int32_t query = OpenUkrainianQuery();
    ASSERT_TRUE(Locate(query, u"UR5ABC"));
    EXPECT_EQ(Exec("UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='UR5ABC'"), 1);
    EXPECT_EQ(callbook_->Count("UR5ABC", true), 1);
    EXPECT_EQ(callbook_->BureauCount(), 1);
    EXPECT_EQ(Exec("UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='UR5NONE'"), 0);
    // The open query keeps answering after the change.
    EXPECT_TRUE(Locate(query, u"UR5ABC"));
    EXPECT_TRUE(Locate(query, u"UR17AA"));
    EXPECT_FALSE(Locate(query, u"DL1ABC"));
    EXPECT_EQ(server_->FreeQuery(query), S_OK);
}

TEST_F(HostServerBoundary, FailuresCarryTheirReasonInTheErrorRecord) {
    int32_t query = 0;
    ASSERT_EQ(server_->CreateQuery(&query), S_OK);
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
    } cases[] = {
        {"a statement SQLite rejects",
         [&] { return server_->OpenQuery(query, BStr(u"SELECT FROM NOWHERE").get()); }},
        {"an unknown query handle",
         [&] {
             int32_t found = 0;
             return server_->Locate(query + 100, BStr(u"OMCALL").get(), BStr(u"UR5ABC").get(), &found);
         }},
        {"a change to a missing table",
         [&] {
             int32_t result = 0;
             return server_->ExecSQL(BStr(u"UPDATE NOTHERE SET A=1").get(), &result);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_LT(c.call(), 0);
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
        BStr description;
        ASSERT_EQ(info->GetDescription(description.put()), S_OK);
        EXPECT_FALSE(description.str().empty());
    }
    EXPECT_EQ(server_->FreeQuery(query), S_OK);
}

} // namespace
