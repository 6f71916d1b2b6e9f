#include "core/util/Windows1252.h"

#include <gtest/gtest.h>

namespace tapwise {
namespace {

TEST(Windows1252, MapsBytesToTheirCharacters) {
  EXPECT_EQ(Windows1252ToUtf8("A~\x7F\xB7\x80\x9F\xFF"), "A~\u2302\u00B7\u20AC\u0178\u00FF");
  // The five codes the table leaves undefined, and control bytes.
  EXPECT_EQ(Windows1252ToUtf8(std::string("\x81\x8D\x8F\x90\x9D\0\x1B", 7)),
            "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(Windows1252, EveryByteIsOneCharacterAndNoControl) {
  for (int b = 0; b < 256; ++b) {
    const std::string out = Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    ASSERT_FALSE(out.empty());
    const auto lead = static_cast<unsigned char>(out[0]);
    EXPECT_EQ(out.size(), lead < 0x80 ? 1u : lead < 0xE0 ? 2u : 3u) << b;
    EXPECT_FALSE(out.size() == 1 && (lead < 0x20 || lead == 0x7F)) << b;
    EXPECT_FALSE(lead == 0xC2 && static_cast<unsigned char>(out[1]) < 0xA0) << "C1 for " << b;
  }
}

}  // namespace
}  // namespace tapwise
