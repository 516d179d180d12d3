// The history options of unitflash-cli and its "history" subcommand.
#include "app/cli/HistoryCommand.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>

#include "history/HistoryFormat.h"
#include "history/HistoryStore.h"

namespace {

// "" for a date "YYYY-MM-DD", alone or followed by a time; else why not.
std::string checkSince(const std::string& text)
{
    static const char* const shape = "dddd-dd-dd";
    bool ok = text.size() >= 10;
    for (std::size_t i = 0; ok && i < 10; ++i)
        ok = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(text[i])) != 0 : text[i] == shape[i];
    return ok ? "" : "a date such as 2026-12-10 (UTC), optionally with a time such as 2026-12-10T09:00:00Z";
}

}  // namespace

std::string HistoryChoice::path() const
{
    if (off)
        return "";
    return file.empty() ? HistoryStore::defaultPath() : file;
}

void addHistoryOptions(CLI::App& app, HistoryChoice& choice)
{
    CLI::Option* file = app.add_option("--history", choice.file,
                                       "The upgrade history to add this run to (default $UNITFLASH_HISTORY, else "
                                       "the user's data folder: unitflash/history.sqlite3)")
                            ->type_name("FILE");
    app.add_flag("--no-history", choice.off, "Do not record this run in the upgrade history")->excludes(file);
}

CLI::App* addHistoryCommand(CLI::App& app, HistoryQuery& query)
{
    CLI::App* history = app.add_subcommand("history", "Lists the recorded upgrades, newest first");
    history->footer("Exit status: 0 listed (also when nothing is recorded), 1 the history cannot be read, "
                    "2 bad arguments");
    history->add_option("--serial", query.serial, "Only the unit with this serial number")->type_name("SN");
    history->add_option("--since", query.since, "Only upgrades started on or after DATE (UTC)")
        ->type_name("DATE")
        ->check(CLI::Validator([](std::string& text) { return checkSince(text); }, ""));
    CLI::Option* json = history->add_flag("--json", query.json, "One JSON object per record and line");
    history->add_flag("--csv", query.csv, "CSV with a header line")->excludes(json);
    history->add_option("--history", query.where.file,
                        "The history to read (default $UNITFLASH_HISTORY, else the user's data folder)")
        ->type_name("FILE");
    return history;
}

int runHistoryCommand(const HistoryQuery& query, std::FILE* out, std::FILE* err)
{
    const std::string path = query.where.path();
    std::vector<HistoryRecord> records;
    std::error_code ec;
    // Reading creates nothing: a history not written yet holds no record.
    const bool exists = !path.empty()
        && std::filesystem::exists(std::filesystem::path(
               std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size())), ec);
    if (exists) {
        HistoryStore store;
        std::string error;
        if (!store.open(path, error) || !store.query(query.serial, query.since, records, error)) {
            std::fprintf(err, "unitflash-cli: cannot read the upgrade history \"%s\": %s\n", path.c_str(),
                         error.c_str());
            return 1;
        }
    }
    const std::string text = query.json ? historyJsonLines(records)
        : query.csv                     ? historyCsv(records)
                                        : historyTable(records);
    std::fputs(text.c_str(), out);
    std::fflush(out);
    return 0;
}
