// The demonstration form callbacks, called through their exported names.
#include "exports.h"

#include "sim_test.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

namespace sim = ostrelsim;

class DemoCallbacks : public SimTest {};

std::vector<std::string> shownTexts()
{
    std::vector<std::string> texts;
    for (const sim::Message& message : sim::messages())
        texts.push_back(std::to_string(message.level) + " " + message.text);
    return texts;
}

TEST_F(DemoCallbacks, BothCallbacksShowTheCountAndReleaseTheArrayOnce)
{
    sim::setFormEntities(11, {5, 6, 7});
    EXPECT_EQ(optFormDemo(11, 99, nullptr), 0);
    EXPECT_EQ(optBtnCallbackDemo(98, 97, 11), 0);
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{"4 count = 3", "4 count = 3"}));
    EXPECT_EQ(callsTo("hostFreeMemory").size(), 2u);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
    for (const sim::Call& call : callsTo("hostDataGetEntities"))
        EXPECT_EQ(call.values, (std::vector<int64_t>{11, 1}));
}

TEST_F(DemoCallbacks, AFailedReadIsReportedByTheButtonCallbackOnly)
{
    sim::setErrorText(-3, "no such data");
    sim::failCall("hostDataGetEntities", 0, -3);
    optBtnCallbackDemo(0, 0, 11);
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text.rfind("*** ERROR code -3 at line ", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[0].text.find("demo_callbacks.cpp:\n"), std::string::npos) << shown[0].text;
    EXPECT_EQ(shown[1].text, "+++ no such data\n");
    EXPECT_EQ(shown[2].text, "hostDataGetEntities(idData, FIELD_ENT_LIST, &nEnts, &idEnts);\n");
    EXPECT_EQ(shown[3].text, "count = 0");
    EXPECT_EQ(callsTo("hostFreeMemory").size(), 1u);
    EXPECT_EQ(callsTo("hostFreeMemory")[0].values[0], 1) << "the array pointer is still null";

    sim::reset();
    sim::failCall("hostDataGetEntities", 0, -3);
    optFormDemo(11, 0, nullptr);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"4 count = 0"});
    EXPECT_EQ(callsTo("hostFreeMemory").size(), 1u);
}

TEST_F(DemoCallbacks, TheReportedLineIsTheLineOfTheCall)
{
    sim::failCall("hostDataGetEntities", 0, -3);
    optBtnCallbackDemo(0, 0, 1);
    std::string first = sim::messages().at(0).text;
    int line = std::atoi(first.c_str() + std::strlen("*** ERROR code -3 at line "));
    std::string file = first.substr(first.find(" in ") + 4);
    file = file.substr(0, file.size() - 2);
    // The build names sources from the project's root, so that no binary holds the folder it was built in.
    EXPECT_NE(file.front(), '/') << file;
    file = std::string(PELMORA_SOURCE_DIR) + "/" + file;
    FILE* source = std::fopen(file.c_str(), "r");
    ASSERT_NE(source, nullptr) << file;
    char text[512];
    for (int i = 0; i < line && std::fgets(text, sizeof text, source); ++i) {
    }
    std::fclose(source);
    EXPECT_NE(std::strstr(text, "hostDataGetEntities(idData, FIELD_ENT_LIST, &nEnts, &idEnts)"), nullptr) << text;
}

TEST_F(DemoCallbacks, ShowGuiCreatesAndShowsTheForm)
{
    EXPECT_EQ(ShowGuiFormDemo(0, nullptr), 0);
    EXPECT_EQ(sim::createdForms(), std::vector<std::string>{"guiForm"});
    EXPECT_EQ(sim::shownForms(), std::vector<std::string>{"guiForm"});
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"3 show gui"});
    EXPECT_EQ(callTrace({"hostCreateForm", "hostShowForm"}),
              (std::vector<std::string>{"hostCreateForm guiForm", "hostShowForm guiForm"}));
}

TEST_F(DemoCallbacks, AFailedFormCreationIsReportedAndTheFormStillShown)
{
    sim::failCall("hostCreateForm", 0, -20);
    EXPECT_EQ(ShowGuiFormDemo(1, nullptr), 0);
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text.rfind("*** ERROR code -20 at line ", 0), 0u);
    EXPECT_EQ(shown[1].text, "+++ Ostrel status -20\n");
    EXPECT_EQ(shown[2].text, "hostCreateForm(form, 0);\n");
    EXPECT_EQ(shown[3].text, "show gui");
    EXPECT_EQ(shown[3].level, 3);
    EXPECT_EQ(callTrace({"hostShowForm"}), std::vector<std::string>{"hostShowForm guiForm"});
}

} // namespace
