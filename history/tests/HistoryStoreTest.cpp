// The upgrade history: concurrent writers lose nothing; queries filter and
// order; the CSV and JSON text read back into the same records.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <set>
#include <sstream>

#include "history/HistoryFormat.h"
#include "history/HistoryStore.h"
#include "process/ChildProcess.h"
#include "testkit/ScratchDir.h"

namespace {

// Splits CSV text into rows of fields, quotes undone (RFC 4180).
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n') {
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty())
        rows.pop_back();
    return rows;
}

HistoryRecord record(const std::string& started, const std::string& serial, int status, const std::string& cause)
{
    HistoryRecord r;
    r.started = started;
    r.ended = started;
    r.program = status == 0 ? "wizard" : "cli";
    r.port = "Comm 1";
    r.device = "/dev/ttyUSB0";
    r.kind = "Display Handset";
    r.model = 7355;
    r.serial = serial;
    r.versionBefore = 1.221;
    r.versionAfter = status == 0 ? 1.312 : 0;
    r.mode = "reinstall";
    r.status = status;
    r.cause = cause;
    r.seconds = 183.5;
    r.trace = status == 0 ? "" : "/tmp/trace, \"a\".txt";
    return r;
}

TEST(HistoryStore, WritersInSeveralProcessesAtOnceLoseNoRecord)
{
    testkit::ScratchDir dir("history-writers");
    const std::string file = dir / "depot/history.sqlite3";
    constexpr int kWriters = 6;
    constexpr int kEach = 25;
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(std::make_unique<ChildProcess>());
        writers.back()->redirectToFile(ChildProcess::StdErr, dir / ("writer" + std::to_string(w) + ".err"));
        ASSERT_TRUE(writers.back()->start(HISTORY_WRITER_PATH, {"history_writer", file, "SN" + std::to_string(w),
                                                                 std::to_string(kEach)}));
    }
    for (auto& writer : writers) {
        ASSERT_TRUE(writer->wait(120000));
        EXPECT_EQ(writer->exitStatus(), 0);
    }
    HistoryStore store;
    std::string error;
    ASSERT_TRUE(store.open(file, error)) << error;
    std::vector<HistoryRecord> all;
    ASSERT_TRUE(store.query("", "", all, error)) << error;
    std::set<std::pair<std::string, std::string>> seen;
    for (const HistoryRecord& r : all)
        seen.emplace(r.serial, r.cause);
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kWriters * kEach));
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kEach));
}

TEST(HistoryStore, QueriesFilterAndOrderAndTheTextReadsBack)
{
    testkit::ScratchDir dir("history-query");
    const std::string file = dir / "history.sqlite3";
    // Added out of time order: the order is by start time, not by insertion.
    const std::vector<HistoryRecord> added{
        record("2026-12-10T09:12:03Z", "B12345678", 0, ""),
        record("2026-12-09T16:40:00Z", "B12345678", 1, "The upgrade failed at step 3/9 (app.bin).\nno ACK"),
        record("2026-12-11T07:00:00Z", "C00000001", 8, "another unit's, \"B99999999\", carry-over is pending"),
        record("2026-12-10T00:00:00Z", "B12345678", 130, "Stopped at step 5/9 (caf\xc3\xa9.bin)."),
    };
    {
        HistoryStore store;
        std::string error;
        ASSERT_TRUE(store.open(file, error)) << error;
        for (const HistoryRecord& r : added)
            ASSERT_TRUE(store.add(r, error)) << error;
    }
    HistoryStore store;
    std::string error;
    ASSERT_TRUE(store.open(file, error)) << error;
    std::vector<HistoryRecord> found;
    ASSERT_TRUE(store.query("", "", found, error)) << error;
    EXPECT_EQ(found, (std::vector<HistoryRecord>{added[2], added[0], added[3], added[1]}));
    ASSERT_TRUE(store.query("B12345678", "2026-12-10", found, error)) << error;
    EXPECT_EQ(found, (std::vector<HistoryRecord>{added[0], added[3]}));
    ASSERT_TRUE(store.query("", "2026-12-10T09:12:03Z", found, error)) << error;
    EXPECT_EQ(found, (std::vector<HistoryRecord>{added[2], added[0]}));
    ASSERT_TRUE(store.query("C00000002", "", found, error)) << error;
    EXPECT_TRUE(found.empty());

    ASSERT_TRUE(store.query("", "", found, error)) << error;
    const auto rows = parseCsv(historyCsv(found));
    ASSERT_EQ(rows.size(), found.size() + 1);
    const std::vector<std::string>& header = rows[0];
    const auto field = [&header](const std::vector<std::string>& row, const std::string& name) {
        const auto at = std::find(header.begin(), header.end(), name);
        return at == header.end() ? std::string("(no column " + name + ")") : row[at - header.begin()];
    };
    std::istringstream jsonLines(historyJsonLines(found));
    std::string line;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const HistoryRecord& r = found[i];
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_EQ(row.size(), header.size());
        EXPECT_EQ(field(row, "started"), r.started);
        EXPECT_EQ(field(row, "serial"), r.serial);
        EXPECT_EQ(field(row, "cause"), r.cause);
        EXPECT_EQ(field(row, "trace"), r.trace);
        EXPECT_EQ(std::stoi(field(row, "status")), r.status);
        EXPECT_DOUBLE_EQ(std::stod(field(row, "versionBefore")), r.versionBefore);

        ASSERT_TRUE(std::getline(jsonLines, line));
        const nlohmann::json j = nlohmann::json::parse(line);
        EXPECT_EQ(j.at("started"), r.started);
        EXPECT_EQ(j.at("serial"), r.serial);
        EXPECT_EQ(j.at("cause"), r.cause);
        EXPECT_EQ(j.at("status"), r.status);
        EXPECT_EQ(j.at("model"), r.model);
        EXPECT_DOUBLE_EQ(j.at("versionAfter").get<double>(), r.versionAfter);
        EXPECT_EQ(j.at("device"), r.device);
    }
    EXPECT_FALSE(std::getline(jsonLines, line));
}

}  // namespace
