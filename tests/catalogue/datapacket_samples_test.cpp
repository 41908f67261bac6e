// Datapacket files written by other programs: every well-formed one loads or
// fails with a clear load error, the malformed ones fail cleanly, and what
// loads is written back in our form and reads back the same.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "catalogue/datapacket.h"
#include "system/file_io.h"

namespace quarn {
namespace {

const std::filesystem::path kSamples = QUARN_SAMPLES_DIR;

struct Expectation {
    int visibleRows;                  // when the file loads: ROW elements not replaced or deleted
    std::optional<LoadStatus> error;  // when it does not: why
};

const std::map<std::string, Expectation>& Expectations() {
    static const std::map<std::string, Expectation> expectations = {
        {"cdsmemoria-fixed-decimals_changelog.xml", {2, {}}},
        {"dbgrid-Dados_changelog_missing-attrs.xml", {7, {}}},
        {"demo-animals_binhex-typedbinary-base64.xml", {7, {}}},
        {"demo-country_lcid2057_default-order.xml", {18, {}}},
        {"demo-custoly_autoinc_binhex-text.xml", {30, {}}},
        {"demo-customer_dateTime-with-time.xml", {55, {}}},
        {"demo-employee_i4_dateTime.xml", {42, {}}},
        {"demo-holdings_date.xml", {36, {}}},
        {"demo-industry_i2_amp-entity.xml", {7, {}}},
        {"demo-items_composite-default-order.xml", {945, {}}},
        {"demo-nextcust_tiny-single-row.xml", {1, {}}},
        {"demo-orders_required_money.xml", {205, {}}},
        {"demo-reservat_boolean_money_binhex-text.xml", {100, {}}},
        {"demo-vendors_boolean_sparse.xml", {23, {}}},
        {"docsnippet-delphiworld_MALFORMED_params-closing-tag_old-midas.xml",
         {0, LoadStatus::Mismatch}},
        {"docsnippet-sqlacc-emailtemplate_nested_string-uni_fixedFMT_i8_binhex-binary.xml",
         {0, LoadStatus::NestedDataset}},
        {"jvdbgrid-country_utf8_changelog_rowstate-5-4-12_crlf-entities.xml", {18, {}}},
        {"localcds-TestTable_utf8_japanese_nonascii-attrname.xml", {3, {}}},
        {"patterns-Participantes_latin1-no-encoding-decl.xml", {8, {}}},
        {"patterns-Produtos_latin1-no-encoding-decl.xml", {8, {}}},
        {"patterns-TarifaViagens_latin1_long-changelog.xml", {81, {}}},
        {"pedido-mod_nested_indented_ui4-linkfield.xml", {0, LoadStatus::NestedDataset}},
        {"testedelphi-clientes_changelog-insert-modify_sparse-rows.xml", {1, {}}},
        {"tethering-MyDataSet_utf8-decl_parts.xml", {59, {}}},
        {"xmlmapper-CountryRep_many-binhex-text_default-order-only.xrp.xml", {4, {}}},
        {"xmlmapper-TableCountry_no-xmldecl_empty-rowdata.xml", {0, {}}},
    };
    return expectations;
}

class DatapacketSamples : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kSamples)) {
            GTEST_SKIP() << "no sample folder at " << kSamples.string();
        }
    }
};

TEST_F(DatapacketSamples, EachFileLoadsOrFailsCleanly) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
        if (entry.path().extension() != ".xml") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const auto expectation = Expectations().find(name);
        ASSERT_NE(expectation, Expectations().end()) << "a sample without an expectation";
        ++seen;
        const std::string bytes = ReadWholeFile(entry.path());
        try {
            const TableContent content = ReadDatapacket(bytes);
            EXPECT_EQ(expectation->second.error, std::nullopt) << "loaded";
            EXPECT_EQ(static_cast<int>(content.walkOrder.size()), expectation->second.visibleRows);
            EXPECT_FALSE(content.fields.empty());

            const TableContent reread = ReadDatapacket(WriteDatapacket(content));
            EXPECT_EQ(reread.fields, content.fields);
            EXPECT_EQ(reread.versions, content.versions);
            EXPECT_EQ(reread.changeLog, content.changeLog);
            EXPECT_EQ(reread.params, content.params);
            EXPECT_EQ(reread.walkOrder, content.walkOrder);
        } catch (const LoadError& error) {
            EXPECT_EQ(error.Status(), expectation->second.error) << error.what();
            ASSERT_TRUE(error.Offset().has_value()) << error.what();
            EXPECT_LE(*error.Offset(), bytes.size());
        }
    }
    EXPECT_EQ(seen, static_cast<int>(Expectations().size()));
}

bool AnyCellContains(const TableContent& content, std::string_view text) {
    for (const StoredVersion& version : content.versions) {
        for (const Cell& cell : version.cells) {
            if (cell.value.find(text) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(DatapacketSamples, WhatTheFilesHoldReadsAsText) {
    const auto load = [](const char* name) {
        return ReadDatapacket(ReadWholeFile(kSamples / name));
    };
    // An escaped ampersand; Latin-1 bytes without a declaration as they are;
    // CR LF references inside a memo.
    EXPECT_TRUE(AnyCellContains(load("demo-industry_i2_amp-entity.xml"), "&"));
    EXPECT_TRUE(
        AnyCellContains(load("patterns-Participantes_latin1-no-encoding-decl.xml"), "Andr\xE9"));
    EXPECT_TRUE(AnyCellContains(
        load("jvdbgrid-country_utf8_changelog_rowstate-5-4-12_crlf-entities.xml"), "\r\n"));

    // Full-width attribute names become code page text that still matches.
    const TableContent japanese = load("localcds-TestTable_utf8_japanese_nonascii-attrname.xml");
    ASSERT_FALSE(japanese.fields.empty());
    EXPECT_EQ(japanese.fields[0].name, "??");
    EXPECT_NE(japanese.versions[0].Find(0), nullptr);
}

}  // namespace
}  // namespace quarn
