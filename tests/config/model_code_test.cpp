// Device type codes of model codes, by length and beginning.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/model_code.h"
#include "shared/ini_record.h"

namespace {

struct ModelCase {
    const char *model;
    int code;
};
void PrintTo(const ModelCase &c, std::ostream *os) { *os << '"' << c.model << '"'; }

class ModelCodeTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelCodeTest, Classifies) { EXPECT_EQ(FindUpsModelTxt(GetParam().model), GetParam().code); }

INSTANTIATE_TEST_SUITE_P(
    Table, ModelCodeTest,
    ::testing::Values(ModelCase{"", 255}, ModelCase{"TARVO123456", 255}, // 11 characters
                      ModelCase{"BRAXO312345", 255}, ModelCase{"BRIXO123456", 255},
                      ModelCase{"TARVO1234567", 14}, ModelCase{"TARVO12345678", 25},
                      ModelCase{"TARVOxxxxxxxxxxxxxxxxxxxxxxx", 25},
                      ModelCase{"BRAXO3xxxxxx", 30}, ModelCase{"BRAXO4xxxxxx", 31},
                      ModelCase{"BRAXO5xxxxxx", 24}, ModelCase{"BRAXO6xxxxxx", 21},
                      ModelCase{"BRAXOAxxxxxx", 21}, ModelCase{"BRAXO 3xxxxx", 21},
                      ModelCase{"BRAXO3xxxxxxxxxxxxxx", 30}, ModelCase{"BRIXO1234567", 17},
                      ModelCase{"BRIXOxxxxxxxxxxx", 17}, ModelCase{"braxo3xxxxxx", 255},
                      ModelCase{"brixo1234567", 255}, ModelCase{"tarvo1234567", 255},
                      ModelCase{"XTARVO123456", 255}, ModelCase{"BRAX03xxxxxx", 255}));

// The device record keeps the model code in a 20-byte field that may be
// full; classifying it must not read past the field.
TEST(ModelCode, FullFieldWithoutTerminator) {
    char field[20];
    std::memcpy(field, "TARVO123456789012345", sizeof field);
    EXPECT_EQ(FindUpsModelTxt(field), 25);
    std::memcpy(field, "BRAXO412345678901234", sizeof field);
    EXPECT_EQ(FindUpsModelTxt(field), 31);
}

} // namespace
