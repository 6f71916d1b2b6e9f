#include "support/Tshark.h"

#include <unistd.h>

#include <cstdlib>

#include "support/ChildProcess.h"

namespace tapwise {

std::string TsharkPath() {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = folders.substr(start, end - start) + "/tshark";
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

TsharkRun RunTsharkFields(const std::string& file, const std::vector<std::string>& fields,
                          const std::vector<std::string>& options, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {TsharkPath(), "-n", "-r", file};
  for (const std::string& option : options) {
    argv.push_back("-o");
    argv.push_back(option);
  }
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.insert(argv.end(), {"-T", "fields", "-E", "separator=/t", "-E", "aggregator=,"});
  for (const std::string& field : fields) {
    argv.push_back("-e");
    argv.push_back(field);
  }
  ChildProcess tshark(argv);
  TsharkRun run;
  run.Status = tshark.Wait(std::chrono::seconds(60));
  run.Out = tshark.Stdout();
  run.Err = tshark.Stderr();
  return run;
}

std::vector<std::vector<std::string>> FieldRows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::vector<std::string> row;
    size_t cell = start;
    while (true) {
      size_t tab = out.find('\t', cell);
      if (tab == std::string::npos || tab > end) tab = end;
      row.push_back(out.substr(cell, tab - cell));
      if (tab == end) break;
      cell = tab + 1;
    }
    rows.push_back(std::move(row));
    start = end + 1;
  }
  return rows;
}

}  // namespace tapwise
