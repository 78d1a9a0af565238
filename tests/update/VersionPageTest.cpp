#include "update/VersionPage.h"
#include "update/UpdateSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionPage, ReadsTheLeadingNumberOnly)
{
    const std::pair<const char*, double> cases[] = {{"1.01", 1.01}, {"1.0", 1.0}, {" 2.5beta", 2.5},
                                                    {"3", 3.0},     {".5", 0.5},  {"abc", 0.0},
                                                    {"inf", 0.0},   {"nan", 0.0}, {"", 0.0}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(VersionPage::leadingNumber(QString::fromLatin1(text)), value) << text;
}

TEST(UpdateSettings, FormsTheVersionPageAddress)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"  ", ""},
        {"updates.example.org:8080", "http://updates.example.org:8080/updata/updata.html"},
        {"https://example.org/kevra/", "https://example.org/kevra/updata/updata.html"}};
    for (const auto& [server, page] : cases)
        EXPECT_EQ(UpdateSettings::versionPageAddress(QString::fromLatin1(server)),
                  QString::fromLatin1(page))
            << server;
}

} // namespace
