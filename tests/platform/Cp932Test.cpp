#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <map>
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

// Invalid sequences, a lead byte at the end, lead bytes followed by control bytes come back byte
// for byte, or an edited title would change where it was not edited. Text decoded from any bytes
// without a lead byte of the second codes below encodes to the same bytes; with one, it encodes to
// bytes that decode to the same text, or not at all (a byte forming no character before a second
// code could join the first byte of the other code).
TEST(Cp932, AnyBytesRoundTrip) {
    const std::vector<std::string> cases = {
        bytes({0x82}),           bytes({0x41, 0x81}),       bytes({0x81, 0x0D}),     bytes({0xFD, 0xFE, 0xFF}),
        bytes({0xFA, 0x40}),     bytes({0x87, 0x40}),       bytes({0x80, 0xA0}),     bytes({0x81, 0x7F}),
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
        const std::optional<std::string> back = cp932::encode(cp932::decode(s));
        if (s.find_first_of(bytes({0x87, 0xED, 0xEE, 0xFA})) == std::string::npos) {
            ASSERT_TRUE(back);
            EXPECT_EQ(*back, s);
        } else if (back) {
            EXPECT_EQ(cp932::decode(*back), cp932::decode(s));
        }
    }
}

// Codes that are a second code of a character (NEC's duplicates in lead byte 0x87, the NEC-selected
// IBM rows 0xED and 0xEE, IBM codes in 0xFA that NEC also has) read as that character, as every
// program on the code page's home platform shows them; written again, they take iconv's code.
TEST(Cp932, SecondCodesReadAsTheirCharacters) {
    std::map<int, int> secondCodesByLead;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string code = bytes({lead, trail});
            const QString shown = cp932::decode(code);
            if (shown.size() != 1 || shown[0].isSurrogate()) continue;
            if (cp932::encode(shown) != code) ++secondCodesByLead[lead];
        }
    }
    EXPECT_EQ(secondCodesByLead, (std::map<int, int>{{0x87, 9}, {0xED, 188}, {0xEE, 186}, {0xFA, 15}}));
    const struct {
        std::string code;
        QString shown;
        std::string written;
    } cases[] = {
        {bytes({0x87, 0x90}), QStringLiteral("≒"), bytes({0x81, 0xE0})},
        {bytes({0x87, 0x9C}), QStringLiteral("∪"), bytes({0x81, 0xBE})},
        {bytes({0xED, 0x40}), QStringLiteral("纊"), bytes({0xFA, 0x5C})},
        {bytes({0xEE, 0xF9}), QStringLiteral("￢"), bytes({0x81, 0xCA})},
        {bytes({0xFA, 0x4A}), QStringLiteral("Ⅰ"), bytes({0x87, 0x54})},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cp932::decode(c.code), c.shown);
        EXPECT_EQ(cp932::encode(c.shown), c.written);
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
    EXPECT_EQ(cp932::firstUnencodable(QStringLiteral("ab〜")), 2) << "iconv's look-alike ～ is another character";
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
