// `export --format json|csv|html FILE`: the inventory, with every field
// `list` prints, written to a file for a spreadsheet, a browser or a script.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "access/text_rules.h"
#include "app/cli/cli_inventory.h"

namespace tw::cli {

// The file's bytes. JSON: one array of objects. CSV: UTF-8 with a byte-order
// mark, a header row, every field quoted, CRLF line ends. HTML: one page with
// its style and its sorting script inside, readable offline.
std::string ExportJson(const std::vector<std::vector<RecordField>>& rows);
std::string ExportCsv(const std::vector<std::vector<RecordField>>& rows);
std::string ExportHtml(const std::vector<std::vector<RecordField>>& rows);

// Writes the file and prints {"format":..,"file":..,"programs":N}. Exit code
// 0, 1 when the scan or the write failed, 2 for bad usage.
int ExportCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err);

// `--version`: {"program":"tidewell-cli","version":"..."}.
int VersionCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err);

}  // namespace tw::cli
