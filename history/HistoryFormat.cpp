// The upgrade history as CSV, JSON lines and a readable table.
#include "history/HistoryFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace {

const std::vector<std::string> kFieldNames{"started", "ended",         "program",      "port", "device",
                                           "kind",    "model",         "serial",       "versionBefore",
                                           "versionAfter", "mode",     "status",       "cause", "seconds",
                                           "trace"};

std::string number(double value, const char* format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The record's fields as text, in kFieldNames order.
std::vector<std::string> fieldTexts(const HistoryRecord& r)
{
    return {r.started, r.ended, r.program, r.port, r.device, r.kind, std::to_string(r.model), r.serial,
            number(r.versionBefore, "%.3f"), number(r.versionAfter, "%.3f"), r.mode, std::to_string(r.status),
            r.cause, number(r.seconds, "%.1f"), r.trace};
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i != 0 ? "," : "") + csvField(fields[i]);
    return line + "\n";
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

}  // namespace

std::string historyCsv(const std::vector<HistoryRecord>& records)
{
    std::string out = csvLine(kFieldNames);
    for (const HistoryRecord& r : records)
        out += csvLine(fieldTexts(r));
    return out;
}

std::string historyJsonLines(const std::vector<HistoryRecord>& records)
{
    std::string out;
    for (const HistoryRecord& r : records) {
        const nlohmann::json line{{"started", r.started},
                                  {"ended", r.ended},
                                  {"program", r.program},
                                  {"port", r.port},
                                  {"device", r.device},
                                  {"kind", r.kind},
                                  {"model", r.model},
                                  {"serial", r.serial},
                                  {"versionBefore", r.versionBefore},
                                  {"versionAfter", r.versionAfter},
                                  {"mode", r.mode},
                                  {"status", r.status},
                                  {"cause", r.cause},
                                  {"seconds", r.seconds},
                                  {"trace", r.trace}};
        // Replacement characters for invalid UTF-8 rather than an exception:
        // a cause may quote what a unit sent.
        out += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    return out;
}

std::string historyTable(const std::vector<HistoryRecord>& records)
{
    if (records.empty())
        return "No upgrades recorded.\n";
    std::vector<std::vector<std::string>> rows{
        {"Started (UTC)", "Program", "Unit", "Serial", "From", "To", "Mode", "Secs", "Result"}};
    for (const HistoryRecord& r : records) {
        const std::string result = r.status == 0 ? "done"
                                                 : "status " + std::to_string(r.status)
                + (r.cause.empty() ? "" : ": " + firstLine(r.cause));
        rows.push_back({r.started, r.program, r.kind + " " + std::to_string(r.model), r.serial,
                        number(r.versionBefore, "%.3f"),
                        r.versionAfter != 0 ? number(r.versionAfter, "%.3f") : "-", r.mode,
                        number(r.seconds, "%.0f"), result});
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i] + std::string(widths[i] - row[i].size() + 2, ' ') : row[i];
        out += line + "\n";
    }
    return out;
}
