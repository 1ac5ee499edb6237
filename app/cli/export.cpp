#include "app/cli/export.h"

#include "app/cli/json.h"
#include "platform/platform.h"

#ifndef TIDEWELL_VERSION_TEXT
#define TIDEWELL_VERSION_TEXT "0.0.0"
#endif

namespace tw::cli {

namespace {

constexpr int kUsageError = 2;

std::string FieldText(const RecordField& field) {
  return field.isNumber ? std::to_string(field.number) : ToUtf8(field.text);
}

// A spreadsheet reads a cell that begins with "=", "+", "-" or "@" as a
// formula (and Excel also one that begins with a TAB or a CR); a publisher
// named "=HYPERLINK(...)" would run when the file is opened. A leading
// apostrophe makes such a cell text, and the spreadsheet does not show it.
std::string FormulaNeutralised(const std::string& text) {
  if (text.empty()) return text;
  switch (text[0]) {
    case '=': case '+': case '-': case '@': case '\t': case '\r': return "'" + text;
    default: return text;
  }
}

std::string CsvCell(const std::string& text) {
  std::string cell = "\"";
  for (char c : text) {
    cell += c;
    if (c == '"') cell += '"';
  }
  return cell + "\"";
}

std::string HtmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

const char kHtmlHead[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<title>Installed programs</title>\n<style>\n"
    "body{font-family:Segoe UI,Arial,sans-serif;font-size:13px;margin:16px}\n"
    "table{border-collapse:collapse}\n"
    "th,td{border:1px solid #ccc;padding:3px 6px;text-align:left;vertical-align:top}\n"
    "th{background:#eef;cursor:pointer;user-select:none;position:sticky;top:0}\n"
    "th[aria-sort=ascending]::after{content:\" \\25B2\"}\n"
    "th[aria-sort=descending]::after{content:\" \\25BC\"}\n"
    "tr:nth-child(even) td{background:#f8f8f8}\n"
    "</style>\n</head>\n<body>\n";

// Sorts by the clicked column: numbers as numbers, texts by the browser's
// collation; a second click reverses.
const char kHtmlScript[] =
    "<script>\n"
    "(function(){\n"
    "var table=document.getElementById('programs');\n"
    "var heads=table.tHead.rows[0].cells;\n"
    "function key(row,i,numeric){var t=row.cells[i].textContent;return numeric?Number(t):t.toLowerCase();}\n"
    "for(var i=0;i<heads.length;i++){(function(i){heads[i].addEventListener('click',function(){\n"
    "var down=heads[i].getAttribute('aria-sort')==='ascending';\n"
    "for(var j=0;j<heads.length;j++)heads[j].removeAttribute('aria-sort');\n"
    "heads[i].setAttribute('aria-sort',down?'descending':'ascending');\n"
    "var numeric=heads[i].getAttribute('data-type')==='number';\n"
    "var body=table.tBodies[0];var rows=Array.prototype.slice.call(body.rows);\n"
    "rows.sort(function(a,b){var x=key(a,i,numeric),y=key(b,i,numeric);"
    "var c=numeric?x-y:x.localeCompare(y);return down?-c:c;});\n"
    "rows.forEach(function(r){body.appendChild(r);});\n"
    "});})(i);}\n"
    "})();\n"
    "</script>\n";

}  // namespace

std::string ExportJson(const std::vector<std::vector<RecordField>>& rows) {
  std::string json = "[";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    JsonObject object;
    for (const RecordField& field : rows[r]) {
      if (field.isNumber) {
        object.Add(field.key, field.number);
      } else {
        object.Add(field.key, field.text);
      }
    }
    json += (r ? ",\n" : "\n") + object.str();
  }
  return json + (rows.empty() ? "]\n" : "\n]\n");
}

std::string ExportCsv(const std::vector<std::vector<RecordField>>& rows) {
  std::string csv = "\xEF\xBB\xBF";
  const std::vector<RecordField> header = RecordFields(InstalledProgram());
  for (std::size_t i = 0; i < header.size(); ++i) csv += (i ? "," : "") + CsvCell(header[i].key);
  csv += "\r\n";
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      // Numbers are our own; only texts can carry a formula.
      const std::string text = FieldText(row[i]);
      csv += (i ? "," : "") + CsvCell(row[i].isNumber ? text : FormulaNeutralised(text));
    }
    csv += "\r\n";
  }
  return csv;
}

std::string ExportHtml(const std::vector<std::vector<RecordField>>& rows) {
  std::string html = kHtmlHead;
  html += "<h1>Installed programs</h1>\n<p>" + std::to_string(rows.size()) +
          " programs. Click a column's heading to sort by it.</p>\n";
  html += "<table id=\"programs\">\n<thead><tr>";
  for (const RecordField& field : RecordFields(InstalledProgram())) {
    html += std::string("<th") + (field.isNumber ? " data-type=\"number\"" : "") + ">" + field.key + "</th>";
  }
  html += "</tr></thead>\n<tbody>\n";
  for (const auto& row : rows) {
    html += "<tr>";
    for (const RecordField& field : row) html += "<td>" + HtmlEscaped(FieldText(field)) + "</td>";
    html += "</tr>\n";
  }
  html += "</tbody>\n</table>\n";
  html += kHtmlScript;
  return html + "</body>\n</html>\n";
}

int ExportCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  Text format, file;
  bool ok = true;
  for (std::size_t i = 1; i < args.size() && ok; ++i) {
    if (args[i] == u"--format" && i + 1 < args.size() && format.empty()) {
      format = LowerAscii(args[++i]);
    } else if (!StartsWith(args[i], u"--") && file.empty() && !Trim(args[i]).empty()) {
      file = args[i];
    } else {
      ok = false;
    }
  }
  if (!ok || file.empty() || (format != u"json" && format != u"csv" && format != u"html")) {
    err << "tidewell-cli: usage: export --format json|csv|html FILE\n";
    return kUsageError;
  }
  CliInventory inventory;
  if (!inventory.Scan()) {
    err << "tidewell-cli: the inventory scan did not finish\n";
    return 1;
  }
  std::vector<std::vector<RecordField>> rows;
  for (const InstalledProgram* record : inventory.Records()) rows.push_back(RecordFields(*record));
  const std::string bytes = format == u"json" ? ExportJson(rows) : format == u"csv" ? ExportCsv(rows) : ExportHtml(rows);
  if (!Plat().WriteFileBytes(file, bytes)) {
    err << "tidewell-cli: cannot write \"" << ToUtf8(file) << "\" (error " << Plat().GetLastError() << ")\n";
    return 1;
  }
  out << JsonObject().Add("format", format).Add("file", file).Add("programs", std::int64_t(rows.size())).str() << "\n";
  return 0;
}

int VersionCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.size() > 1) {
    err << "tidewell-cli: --version takes no arguments\n";
    return kUsageError;
  }
  out << JsonObject().Add("program", Text(u"tidewell-cli")).Add("version", FromUtf8(TIDEWELL_VERSION_TEXT)).str()
      << "\n";
  return 0;
}

}  // namespace tw::cli
