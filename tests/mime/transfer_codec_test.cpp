#include "mime/transfer_codec.h"

#include <gtest/gtest.h>

namespace {

std::string DecodeWith(std::string_view encoding, std::string_view input) {
    const auto codec = CreateTransferCodec(encoding);
    return codec ? RunCodec(*codec, input, false) : "(null)";
}

// Decodes anything to one marker byte, showing which creator the registry used.
template <char Marker>
class CMarkerCodec : public CMimeCodeBase {
public:
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override {
        return out != nullptr && capacity > 0 ? (out[0] = Marker, 1) : 0;
    }
};

template <char Marker>
std::unique_ptr<CMimeCodeBase> CreateMarker() {
    return std::make_unique<CMarkerCodec<Marker>>();
}

class TransferCodecRegistry : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
    void TearDown() override {
        RegisterTransferCodec("x-marker", nullptr);
        RegisterStandardCodecs();
    }
};

}  // namespace

TEST_F(TransferCodecRegistry, NamesCompareCaseInsensitivelyAndWhole) {
    for (std::string_view name : {"base64", "BASE64", "Base64"}) {
        EXPECT_EQ(DecodeWith(name, "QQ=="), "A") << name;
    }
    EXPECT_EQ(DecodeWith("Quoted-Printable", "=41"), "A");
    for (std::string_view name : {"7bit", "8bit", "", "base64 ", " base64", "binary"}) {
        EXPECT_EQ(DecodeWith(name, "QQ=="), "QQ==") << '"' << name << '"';
    }
}

TEST_F(TransferCodecRegistry, RegisteringReplacesRemovesAndRestores) {
    RegisterTransferCodec("X-Marker", &CreateMarker<'A'>);
    EXPECT_EQ(DecodeWith("x-marker", "zz"), "A");
    RegisterTransferCodec("x-MARKER", &CreateMarker<'B'>);
    EXPECT_EQ(DecodeWith("X-MARKER", "zz"), "B");
    RegisterTransferCodec("X-marker", nullptr);
    EXPECT_EQ(DecodeWith("x-marker", "zz"), "zz");

    RegisterTransferCodec("BASE64", &CreateMarker<'A'>);
    EXPECT_EQ(DecodeWith("base64", "QUI="), "A");
    RegisterStandardCodecs();
    EXPECT_EQ(DecodeWith("base64", "QUI="), "AB");
}
