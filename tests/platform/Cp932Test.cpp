#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <random>

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

TEST(Cp932, DecodesJapaneseAndHalfWidthKana) {
    EXPECT_EQ(cp932::decode(bytes({0x82, 0xA0, 0x8B, 0xC8})), QStringLiteral("あ曲"));
    EXPECT_EQ(cp932::decode(bytes({0xB1, 0xB2})), QStringLiteral("ｱｲ"));
    EXPECT_EQ(cp932::decode("ABC"), QStringLiteral("ABC"));
}

TEST(Cp932, EncodesWhatItDecodes) {
    QString text = QStringLiteral("ﾘﾋﾟｰﾄ解除 曲　目 ①");
    std::optional<std::string> encoded = cp932::encode(text);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(cp932::decode(*encoded), text);
}

// Invalid sequences, a lead byte at the end, lead bytes followed by control bytes, and the
// duplicated NEC/IBM codes (0xED40 decodes to a character whose own code is 0xFA5C) must all come
// back byte for byte, or an untouched title would change on save.
TEST(Cp932, AnyBytesRoundTripExactly) {
    const std::vector<std::string> cases = {
        bytes({0x82}),           bytes({0x41, 0x81}),       bytes({0x81, 0x0D}),     bytes({0xFD, 0xFE, 0xFF}),
        bytes({0xED, 0x40}),     bytes({0x87, 0x40}),       bytes({0x80, 0xA0}),     bytes({0x81, 0x7F}),
        bytes({0x00, 0x1A, 0x0A}), bytes({0xEF, 0xFC, 0xF0, 0x40})};
    for (const std::string &c : cases) {
        std::optional<std::string> back = cp932::encode(cp932::decode(c));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, c);
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string s(static_cast<size_t>(random() % 40), '\0');
        for (char &ch : s) ch = static_cast<char>(random() % 256);
        EXPECT_EQ(cp932::encode(cp932::decode(s)).value_or("<fail>"), s);
    }
}

// ASCII bytes are decoded and encoded without the tables: that is only right while the system's
// code page 932 maps each of them to the same code point and back.
TEST(Cp932, AsciiShortcutAgreesWithTheSystemCodePage) {
    iconv_t toUnicode = iconv_open("UTF-32LE", "CP932");
    ASSERT_NE(toUnicode, reinterpret_cast<iconv_t>(-1));
    for (int b = 0; b < 0x80; ++b) {
        char in = static_cast<char>(b), *inPtr = &in;
        char32_t cp = 0xFFFFFFFF;
        char *outPtr = reinterpret_cast<char *>(&cp);
        size_t inLeft = 1, outLeft = sizeof cp;
        ASSERT_NE(iconv(toUnicode, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << b;
        EXPECT_EQ(cp, static_cast<char32_t>(b));
        EXPECT_EQ(cp932::decode(std::string(1, in)), QString(QChar(b)));
        EXPECT_EQ(cp932::encode(QString(QChar(b))), std::string(1, in));
    }
    iconv_close(toUnicode);
}

TEST(Cp932, RefusesCharactersOutsideTheCodePage) {
    EXPECT_FALSE(cp932::encode(QStringLiteral("曲😀")));
    EXPECT_EQ(cp932::firstUnencodable(QStringLiteral("ab😀")), 2);
    EXPECT_EQ(cp932::firstUnencodable(QStringLiteral("ab€")), 2);
    EXPECT_EQ(cp932::firstUnencodable(QStringLiteral("abc")), -1);
}

TEST(Cp932, LeadBytes) {
    EXPECT_TRUE(cp932::isLeadByte(0x81));
    EXPECT_TRUE(cp932::isLeadByte(0x9F));
    EXPECT_TRUE(cp932::isLeadByte(0xE0));
    EXPECT_TRUE(cp932::isLeadByte(0xFC));
    EXPECT_FALSE(cp932::isLeadByte(0x80));
    EXPECT_FALSE(cp932::isLeadByte(0xA0));
    EXPECT_FALSE(cp932::isLeadByte(0xDF));
    EXPECT_FALSE(cp932::isLeadByte(0xFD));
}

}  // namespace
