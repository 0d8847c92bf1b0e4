// Which download addresses of a product list the product page hands on.

#include "webupdate/DownloadAddress.h"

#include <string>

#include <gtest/gtest.h>

namespace velmora::webupdate {
namespace {

struct AddressCase {
    const char* name;
    std::string address;
    bool handedOn;
};

class DownloadAddressTest : public ::testing::TestWithParam<AddressCase> { };

TEST_P(DownloadAddressTest, OnlyWebAddressesGoOn)
{
    EXPECT_EQ(IsWebAddress(GetParam().address), GetParam().handedOn) << GetParam().address;
}

const AddressCase kAddresses[] = {
    {"Http", "http://downloads.example/Alder.exe", true},
    {"Https", "https://downloads.example/a?x=1&y=2", true},
    {"SchemeInCapitals", "HTTP://downloads.example/", true},
    {"BlankInPath", "http://downloads.example/Alder 3D.exe", true},
    {"HostOnly", "http://a", true},
    {"Empty", "", false},
    {"SchemeOnly", "http://", false},
    {"NoHost", "http:///etc/passwd", false},
    {"PortWithoutHost", "http://:80/", false},
    {"BlankBeforeHost", "http:// host/", false},
    {"File", "file:///C:/Windows/System32/calc.exe", false},
    {"Program", "C:\\Windows\\System32\\calc.exe", false},
    {"Script", "javascript:alert(1)", false},
    {"Ftp", "ftp://downloads.example/a", false},
    {"SchemeInside", "xhttp://downloads.example/", false},
    {"LeadingBlank", " http://downloads.example/", false},
    {"Quote", "http://a/\" --new-window file:///c:/", false},
    {"AngleBracket", "http://a/<b>", false},
    {"LineFeed", "http://a/\nfile:///c:/", false},
    {"Nul", std::string("http://a/\0b", 11), false},
    {"NotAscii", "http://\xd0\xb0.example/", false},
    {"Longest", "http://a/" + std::string(kMaxDownloadAddressBytes - 9, 'x'), true},
    {"TooLong", "http://a/" + std::string(kMaxDownloadAddressBytes - 8, 'x'), false},
};

INSTANTIATE_TEST_SUITE_P(Addresses, DownloadAddressTest, ::testing::ValuesIn(kAddresses),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::webupdate
