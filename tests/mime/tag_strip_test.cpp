#include "mime/tag_strip.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

#include "mime/mime_email.h"
#include "mime/transfer_codec.h"

namespace {

// The rule written the plain way: for every '<', a fresh search for the next '>'.
std::string StripPlainly(std::string_view text) {
    const std::size_t length = text.size();
    const std::string_view scan = text.substr(0, text.find('\0'));
    std::string out;
    int mode = 0;
    bool inTag = false;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        const char c = scan[i];
        if (c == '<' && i + 2 < length) {
            const std::size_t close = scan.find('>', i + 1);
            if (close != std::string_view::npos && close - i - 1 > 0 && close - i - 1 < 4096) {
                std::string name(scan.substr(i + 1, close - i - 1));
                name = name.substr(0, name.find(' '));
                for (char& n : name) {
                    n = char(std::toupper(static_cast<unsigned char>(n)));
                }
                if (name == "!DOCTYPE" || name == "BODY" || name == "/BODY" || name == "HEAD" ||
                    name == "/HEAD" || name == "META" || name == "/META" || name == "HTML" ||
                    name == "/HTML" || name == "/TITLE") {
                    mode = 1;
                } else if (name == "TITLE") {
                    mode = 2;
                }
                inTag = true;
            }
        } else if (c == '>' && inTag) {
            inTag = false;
            if (mode == 1) {
                mode = 0;
                continue;
            }
        }
        if (mode == 0) {
            out += c;
        }
    }
    return out;
}

}  // namespace

TEST(StripDocumentTags, DocumentMarkupGoesTheRestStays) {
    EXPECT_EQ(StripDocumentTags("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">\r\n"
                                "<HTML><HEAD><TITLE>The title</TITLE>\r\n"
                                "<META http-equiv=Content-Type content=\"text/html\">\r\n"
                                "<STYLE>p {}</STYLE></HEAD>\r\n"
                                "<BODY bgColor=#ffffff><P>Hello <B>you</B></P><!-- c -->\r\n"
                                "</BODY></HTML>\r\n"),
              "\r\n\r\n\r\n<STYLE>p {}</STYLE>\r\n<P>Hello <B>you</B></P><!-- c -->\r\n\r\n");
}

TEST(StripDocumentTags, HowTagsAreRecognised) {
    EXPECT_EQ(StripDocumentTags("a<body class=\"x\" onload=f()>b"), "ab") << "any case, attributes";
    EXPECT_EQ(StripDocumentTags("a<BODY\r\nbgcolor=white>b"), "a<BODY\r\nbgcolor=white>b")
        << "only a blank ends the name";
    EXPECT_EQ(StripDocumentTags("a<bodyx>b<htmlx>c"), "a<bodyx>b<htmlx>c");
    EXPECT_EQ(StripDocumentTags("x <html> y"), "x  y") << "plain text loses the tag too";
    EXPECT_EQ(StripDocumentTags("<>a<>"), "<>a<>");
    EXPECT_EQ(StripDocumentTags("a > b"), "a > b");
    EXPECT_EQ(StripDocumentTags("<p>a</p>"), "<p>a</p>");
}

TEST(StripDocumentTags, TitleTextGoesUpToTheNextRecognisedTag) {
    EXPECT_EQ(StripDocumentTags("<title>T <b>bold</b></title>after"), "after");
    EXPECT_EQ(StripDocumentTags("<TITLE>no end, text all gone"), "");
    EXPECT_EQ(StripDocumentTags("<title>T</head>kept"), "kept");
}

TEST(StripDocumentTags, EndsOfTheText) {
    EXPECT_EQ(StripDocumentTags("ab<"), "ab<");
    EXPECT_EQ(StripDocumentTags("a<>"), "a<>") << "a '<' in the last two bytes is copied";
    EXPECT_EQ(StripDocumentTags("<h>"), "<h>");
    EXPECT_EQ(StripDocumentTags("x<html"), "x<html") << "no '>' after it";
    EXPECT_EQ(StripDocumentTags(std::string("a<html\0>b", 9)), "a<html")
        << "the text ends at its first zero byte";
    EXPECT_EQ(StripDocumentTags(""), "");
}

TEST(StripDocumentTags, LongTagsAreNotLookedAt) {
    const std::string fits = "<BODY " + std::string(4090, 'a') + ">";  // 4095 bytes inside
    EXPECT_EQ(StripDocumentTags("x" + fits + "y"), "xy");
    const std::string tooLong = "<BODY " + std::string(4091, 'a') + ">";  // 4096
    EXPECT_EQ(StripDocumentTags("x" + tooLong + "y"), "x" + tooLong + "y");
}

TEST(StripDocumentTags, SameResultAsThePlainRule) {
    std::mt19937 rng(5);
    const std::string pieces[] = {
        "<",    ">", "<html>", "</HTML>", "<title>",      "</title>", "<body ", "<BoDy>", "<p>",
        "text", " ", "\r\n",   "<head>",  "<!doctype x>", "</meta>",  "<<",     ">>",     "<meta"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = int(rng() % 30);
        for (int i = 0; i < count; ++i) {
            text += pieces[rng() % std::size(pieces)];
        }
        EXPECT_EQ(StripDocumentTags(text), StripPlainly(text)) << text;
    }
    // Many '<' and no '>' at all: every byte stays.
    const std::string opens(20000, '<');
    EXPECT_EQ(StripDocumentTags(opens), opens);
}

TEST(StripDocumentTags, CleansEveryContentOfAMessage) {
    RegisterStandardCodecs();
    const std::string text =
        "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nsee <html> here\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n<html><body>hi</body></html>\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\n\r\n"
        "--b--\r\n";
    CMimeEmail email;
    email.Parse(text);
    email.StripDocumentTags();
    const auto contents = email.GetContents();
    ASSERT_EQ(contents.size(), 3u);
    EXPECT_EQ(contents[0].GetText(), "see  here");
    EXPECT_EQ(contents[1].GetText(), "hi");
    EXPECT_EQ(contents[2].GetText(), "");
}
