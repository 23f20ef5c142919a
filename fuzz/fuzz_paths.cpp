// Field splitting and path scans on arbitrary bytes read as code page 932, with a backslash separator.
// Besides memory faults it checks what must hold for any input: the fields put back together with the
// delimiter give the text, and a path's folder and file name put back together give the path.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "Fuzzsupport.h"
#include "base/Stringutilities.h"

namespace {

using vowelscope::fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vowelscope;
  const platform::LeadByteTable& table = platform::LeadByteTable::Cp932();
  if (size < 2) return 0;

  // First byte: delimiter length (1-3) and flags; then the delimiter and an optional one-byte quote.
  const size_t delimiterLength = 1 + data[0] % 3;
  const bool skipEmpty = (data[0] & 0x10) != 0;
  const bool quoted = (data[0] & 0x20) != 0;
  size_t pos = 1;
  if (size < pos + delimiterLength + 1) return 0;
  const std::string delimiter(reinterpret_cast<const char*>(data + pos), delimiterLength);
  pos += delimiterLength;
  const std::string quote = quoted ? std::string(1, static_cast<char>(data[pos])) : std::string();
  pos += 1;
  const std::string text(reinterpret_cast<const char*>(data + pos), size - pos);

  std::list<std::string> fields;
  detail::Split(text, delimiter, quote, skipEmpty, fields, table);
  if (!skipEmpty && !text.empty()) {
    std::string joined;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
      if (it != fields.begin()) joined += delimiter;
      joined += *it;
    }
    Check(joined == text);
  }
  if (text.empty()) Check(fields.empty());

  const char sep = '\\';
  const std::string directory = detail::GetDirectoryPart(text, sep, table);
  const std::string name = detail::GetFileNamePart(text, sep, table);
  if (text.size() == name.size()) {
    Check(name == text && directory.empty());
  } else {
    Check(directory + sep + name == text);
  }

  const std::string changed = detail::ChangeExtension(text, ".f0", sep, table);
  Check(changed.size() >= 3 && changed.compare(changed.size() - 3, 3, ".f0") == 0);
  Check(detail::GetDirectoryPart(changed, sep, table) == directory);

  const std::string included = detail::IncludeTrailingSeparator(text, sep, table);
  // After a dangling lead byte the appended separator reads as that character's second byte, so the
  // round trip holds only for texts that end on a whole character.
  if (!text.empty() && !detail::IsTrailByte(included, included.size() - 1, table)) {
    Check(included.back() == sep);
    Check(detail::ExcludeTrailingSeparator(included, sep, table) == detail::ExcludeTrailingSeparator(text, sep, table));
  }
  return 0;
}
