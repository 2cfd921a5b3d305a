// The parameter table against the stored block and the dialog it drives.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <type_traits>

#include "core/parameter_table.h"
#include "resources/dialog_templates.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"

namespace {

// Byte offset of a member within the block.
size_t OffsetOf(int16_t FilterParameters::*field) {
    FilterParameters block{};
    return size_t(reinterpret_cast<const char*>(&(block.*field)) - reinterpret_cast<const char*>(&block));
}

// The control ids of the classic dialog template, in template order.
std::vector<uint16_t> TemplateControlIds(const std::vector<uint8_t>& bytes) {
    auto u16 = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
    auto skipText = [&](size_t at) {
        while (u16(at) != 0) at += 2;
        return at + 2;
    };
    auto skipClassOrName = [&](size_t at) { return u16(at) == 0xFFFF ? at + 4 : skipText(at); };
    const int count = u16(8);
    size_t at = 18;              // style, extended style, count, x, y, cx, cy
    at = skipClassOrName(at);    // menu
    at = skipClassOrName(at);    // class
    at = skipText(at);           // title
    at = skipText(at + 2);       // point size, font name
    std::vector<uint16_t> ids;
    for (int i = 0; i < count; ++i) {
        at = (at + 3) / 4 * 4;
        ids.push_back(u16(at + 16));  // style, extended style, x, y, cx, cy, then the id
        at = skipClassOrName(at + 18);
        at = skipText(at);
        at += 2;  // creation data size
    }
    return ids;
}

}  // namespace

TEST(ParameterTable, MatchesTheStoredBlockFieldByField) {
    static_assert(std::is_standard_layout_v<FilterParameters>, "the block is stored as raw bytes");
    static_assert(sizeof(FilterParameters) == kParameterCount * sizeof(int16_t), "thirteen int16 values");
    const std::vector<int16_t>& defaults = DefaultParameterVector();
    std::set<OSType> keys;
    std::set<std::string> names;
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        EXPECT_EQ(OffsetOf(info.field), size_t(2 * i)) << info.name << ": the table lists the fields in block order";
        EXPECT_LE(info.minimum, info.defaultValue) << info.name;
        EXPECT_LE(info.defaultValue, info.maximum) << info.name;
        EXPECT_EQ(info.defaultValue, defaults[size_t(i)]) << info.name;
        EXPECT_TRUE(keys.insert(info.key).second) << info.name << ": scripting keys are unique";
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_EQ(&ParameterOf(info.field), &info);
    }
    FilterParameters block;
    SetDefaultParameters(&block);
    EXPECT_EQ(block.brightness, 50);
    EXPECT_EQ(block.spDephase, 20);
    // The enumeration's range is its table's.
    const ParameterInfo& type = ParameterOf(&FilterParameters::thresholdType);
    EXPECT_EQ(type.kind, ParameterKind::Enumerated);
    EXPECT_EQ(type.minimum, 0);
    EXPECT_EQ(type.maximum, kThresholdTypeCount - 1);
    for (int i = 0; i < kThresholdTypeCount; ++i) EXPECT_EQ(kThresholdTypeTable[i].value, i);
}

TEST(ParameterTable, NamesEveryControlOfTheDialogTemplateOnce) {
    std::map<uint16_t, int> inTemplate;
    for (uint16_t id : TemplateControlIds(BuildParameterDialogTemplate())) ++inTemplate[id];
    ASSERT_EQ(inTemplate.size(), 49u) << "the template holds 49 controls, each id once";
    std::set<int> fromTable;
    auto expectOnce = [&](int id, const char* what) {
        EXPECT_EQ(inTemplate[uint16_t(id)], 1) << what << " " << id;
        EXPECT_TRUE(fromTable.insert(id).second) << what << " " << id << " is used twice";
    };
    for (const ParameterInfo& info : kParameterTable) {
        expectOnce(info.captionId, info.name);
        if (info.kind == ParameterKind::Integer) {
            expectOnce(info.editId, info.name);
            expectOnce(info.sliderId, info.name);
        } else {
            EXPECT_EQ(info.editId, 0) << info.name << ": an enumeration shows as radio buttons";
            EXPECT_EQ(info.sliderId, 0) << info.name;
        }
    }
    for (const ThresholdTypeInfo& type : kThresholdTypeTable) expectOnce(type.radioId, type.name);
    for (int id : {kOkButton, kCancelButton, kZoomInButton, kZoomOutButton, kPreviewPane, kZoomLabel, kGeneralGroup,
                   kHighlightGroup, kSpectrumGroup})
        expectOnce(id, "control");
    EXPECT_EQ(fromTable.size(), inTemplate.size()) << "no control of the template is unnamed";
}
