#include "core/util/MarkupText.h"

namespace tapwise {

std::string MarkupToPlainText(std::string_view markup) {
  std::string plain;
  plain.reserve(markup.size());
  for (size_t i = 0; i < markup.size(); ++i) {
    if (markup[i] != '\\') {
      plain += markup[i];
      continue;
    }
    if (++i >= markup.size()) break;
    const char code = markup[i];
    if (code == 'n' || code == 'N') plain += '\n';
    if (code == 't' || code == 'T') plain += '\t';
  }
  return plain;
}

}  // namespace tapwise
