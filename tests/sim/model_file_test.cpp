// Model files of the simulated host: what a bad file is told, in which code
// page a name can go into the host, that a definition is one object however
// many components use it, and that a written model reads back with its
// sharing.
#include "code_page.h"
#include "model_file.h"
#include "sim_test.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

namespace sim = ostrelsim;

struct BadModel {
    const char* label;
    std::string json;
    std::string error;   // the whole error text
};

void PrintTo(const BadModel& model, std::ostream* out) { *out << model.label; }

class ModelFileErrors : public SimTest, public ::testing::WithParamInterface<BadModel> {};

TEST_P(ModelFileErrors, SaysWhatAndWhereAndLeavesTheDocumentAlone)
{
    int32_t before = addPart("Before", {"Sketch1"});
    sim::ModelReadResult result = sim::readModel(GetParam().json);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_EQ(sim::objects(), std::vector<int32_t>{before});
    EXPECT_EQ(historyNames(before), std::vector<std::string>{"Sketch1"});
}

// Deep enough to pass the reader's limit: `extra` arrays nested inside the
// history of a model, whose own array is already one level down.
std::string historyNestedIn(int extra)
{
    return "{\"name\": \"A\", \"history\": [" + std::string(extra, '[') + std::string(extra, ']') + "]}";
}

// A model with `depth` components, each inside the one before.
std::string componentsNestedIn(int depth)
{
    std::string model = "{\"name\": \"A\"";
    for (int i = 0; i < depth; ++i)
        model += ", \"components\": [{\"name\": \"A\"";
    for (int i = 0; i < depth; ++i)
        model += "}]";
    return model + "}";
}

std::string repeated(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

// Definitions "D0" to "D<count - 1>", each using the next: an assembly
// `count` levels deep below whatever uses "D0".
std::string chainOfDefinitions(int count)
{
    std::string chain;
    for (int i = 0; i + 1 < count; ++i)
        chain += "\"D" + std::to_string(i) + "\": {\"components\": [{\"use\": \"D" + std::to_string(i + 1) + "\"}]}, ";
    return chain + "\"D" + std::to_string(count - 1) + "\": {}";
}

// A component with `depth` levels of components in place below it, the
// deepest using `key`.
std::string componentsDownTo(int depth, const std::string& key)
{
    return repeated("{\"name\": \"N\", \"components\": [", depth) + "{\"use\": \"" + key + "\"}" + repeated("]}", depth);
}

// A model whose top uses "D0" of a chain `count` long.
std::string modelUsingAChainOf(int count)
{
    return "{\"name\": \"A\", \"components\": [{\"use\": \"D0\"}], \"definitions\": {" + chainOfDefinitions(count) +
           "}}";
}

// Where the text is not JSON the reader says where, in characters, and then
// why in the words of the JSON library.
INSTANTIATE_TEST_SUITE_P(NotJson, ModelFileErrors, ::testing::Values(
    BadModel{"empty", "",
             "line 1, column 1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
             "literal"},
    BadModel{"only blanks", " \n  ",
             "line 2, column 3: syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
             "literal"},
    BadModel{"missing comma", "{\"name\": \"A\"\n \"history\": []}",
             "line 2, column 10: syntax error while parsing object - unexpected string literal; expected '}'"},
    BadModel{"trailing comma in an array", "{\"name\": \"A\", \"history\": [\"S1\",]}",
             "line 1, column 32: syntax error while parsing value - unexpected ']'; expected '[', '{', or a literal"},
    BadModel{"unterminated string", "{\"name\": \"A",
             "line 1, column 12: syntax error while parsing value - invalid string: missing closing quote"},
    BadModel{"raw tab in a string", "{\"name\": \"A\tB\"}",
             "line 1, column 12: syntax error while parsing value - invalid string: control character U+0009 (HT) "
             "must be escaped to \\u0009 or \\t"},
    BadModel{"unknown escape", "{\"name\": \"A\\qB\"}",
             "line 1, column 13: syntax error while parsing value - invalid string: forbidden character after "
             "backslash"},
    BadModel{"short unicode escape", "{\"name\": \"\\u12\"}",
             "line 1, column 15: syntax error while parsing value - invalid string: '\\u' must be followed by 4 hex "
             "digits"},
    BadModel{"lone high surrogate", "{\"name\": \"\\uD83D\"}",
             "line 1, column 17: syntax error while parsing value - invalid string: surrogate U+D800..U+DBFF must be "
             "followed by U+DC00..U+DFFF"},
    BadModel{"lone low surrogate", "{\"name\": \"\\uDE00\"}",
             "line 1, column 16: syntax error while parsing value - invalid string: surrogate U+DC00..U+DFFF must "
             "follow U+D800..U+DBFF"},
    // Columns count characters: the two Chinese characters are two columns,
    // and the bytes that are not UTF-8 are not echoed.
    BadModel{"not UTF-8, columns in characters", "{\"name\": \"\xE6\x8B\x89\xE4\xBC\xB8\xFF\"}",
             "line 1, column 13: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
    BadModel{"not UTF-8 on the second line",
             "{\"name\": \"A\",\n \"history\": [\"\xE6\x8B\x89\xE4\xBC\xB8\", \"\xFF\"]}",
             "line 2, column 21: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
    BadModel{"overlong UTF-8", "{\"name\": \"\xC0\xAF\"}",
             "line 1, column 11: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
    BadModel{"a byte order mark takes no column", "\xEF\xBB\xBF{x",
             "line 1, column 2: syntax error while parsing object key - invalid literal; expected string literal"},
    BadModel{"text after the model", "{\"name\": \"A\"} {}",
             "line 1, column 15: syntax error while parsing value - unexpected '{'; expected end of input"},
    BadModel{"bad number", "{\"name\": -x}",
             "line 1, column 11: syntax error while parsing value - invalid number; expected digit after '-'"},
    BadModel{"number out of range", "{\"name\": \"A\", \"messages\": [{\"level\": 1e999, \"text\": \"x\"}]}",
             "line 1, column 42: number overflow parsing '1e999'"},
    BadModel{"bare word", "{\"name\": nope}",
             "line 1, column 11: syntax error while parsing value - invalid literal"}));

// What the JSON library would take and a model must not hold.
INSTANTIATE_TEST_SUITE_P(RefusedOnTheWay, ModelFileErrors, ::testing::Values(
    BadModel{"duplicate field", "{\"name\": \"A\",\n\"name\": \"B\"}", "$: field \"name\" appears twice"},
    BadModel{"duplicate field in a component",
             "{\"name\": \"A\", \"components\": [{\"name\": \"B\"},\n"
             " {\"name\": \"C\", \"history\": [], \"history\": []}]}",
             "$.components[1]: field \"history\" appears twice"},
    BadModel{"duplicate field in a message", "{\"name\": \"A\", \"messages\": [{\"level\": 1, \"level\": 2}]}",
             "$.messages[0]: field \"level\" appears twice"},
    BadModel{"duplicate field with a quote in its name", R"({"name": "A", "a\"b": 1, "a\"b": 2})",
             R"($: field "a\"b" appears twice)"},
    BadModel{"arrays nested too deep", historyNestedIn(800),
             "$.history" + repeated("[0]", 512) + ": values nested more than 512 deep"},
    BadModel{"the first array past the limit", historyNestedIn(512),
             "$.history" + repeated("[0]", 512) + ": values nested more than 512 deep"},
    // Each component is two levels down from the one above it: an assembly
    // deeper than a model may be is told as that, not as JSON nested too deep.
    BadModel{"components nested one level too deep", componentsNestedIn(100),
             "$: the assembly would be more than 100 levels deep"},
    BadModel{"components nested far too deep", componentsNestedIn(250),
             "$: the assembly would be more than 100 levels deep"}));

INSTANTIATE_TEST_SUITE_P(WrongShape, ModelFileErrors, ::testing::Values(
    BadModel{"not an object", "[]", "$: expected an object, found an array"},
    BadModel{"no name", "{\"history\": []}", "$: no \"name\" field"},
    BadModel{"name a number", "{\"name\": 12}", "$.name: expected a string, found a number"},
    BadModel{"history an object", "{\"name\": \"A\", \"history\": {}}",
             "$.history: expected an array, found an object"},
    BadModel{"history entry null", "{\"name\": \"A\", \"history\": [\"S1\", null]}",
             "$.history[1]: expected a string, found null"},
    BadModel{"component without a name",
             "{\"name\": \"A\", \"components\": [{\"name\": \"B\"},\n  {\"history\": [\"S1\"]}]}",
             "$.components[1]: no \"name\" field"},
    BadModel{"deep history entry a boolean",
             "{\"name\": \"A\", \"components\": [{\"name\": \"B\", \"components\": [{\"name\": \"C\", "
             "\"history\": [true]}]}]}",
             "$.components[0].components[0].history[0]: expected a string, found a boolean"},
    BadModel{"arrays as deep as the limit", historyNestedIn(199), "$.history[0]: expected a string, found an array"},
    BadModel{"unknown field at the top", "{\"name\": \"A\", \"parts\": []}",
             "$.parts: unknown field (a model has \"name\", \"history\", \"components\", \"definitions\", "
             "\"distinctNames\", \"messages\", \"sent\")"},
    BadModel{"distinct names not a boolean", "{\"name\": \"A\", \"distinctNames\": 1}",
             "$.distinctNames: expected a boolean, found a number"},
    // A field whose name is no plain word stands in brackets, so that no name reads as a path.
    BadModel{"unknown field of no plain name", R"({"name": "A", "b.c d": 1})",
             R"($["b.c d"]: unknown field (a model has "name", "history", "components", "definitions", )"
             R"("distinctNames", "messages", "sent"))"},
    BadModel{"run records only at the top", "{\"name\": \"A\", \"components\": [{\"name\": \"B\", \"sent\": []}]}",
             "$.components[0].sent: unknown field (a component has \"name\", \"history\", \"components\", or "
             "\"use\" alone)"},
    BadModel{"message without a number level",
             "{\"name\": \"A\", \"messages\": [{\"level\": \"5\", \"text\": \"x\"}]}",
             "$.messages[0].level: expected a number, found a string"},
    BadModel{"name holding NUL", "{\"name\": \"A\\u0000B\"}", "$.name: a name cannot hold U+0000"}));

// A use of an undefined name, a definition inside itself and a definition
// given twice are each told where they stand; so is a use that is more than
// a use.
INSTANTIATE_TEST_SUITE_P(Definitions, ModelFileErrors, ::testing::Values(
    BadModel{"use of an undefined name",
             R"({"name": "A", "components": [{"use": "Bolt M8"}, {"use": "Bolt M9"}],
                 "definitions": {"Bolt M8": {}}})",
             "$.components[1].use: no definition is named \"Bolt M9\""},
    BadModel{"use in a model without definitions", R"({"name": "A", "components": [{"use": "Bolt"}]})",
             "$.components[0].use: no definition is named \"Bolt\""},
    BadModel{"use of a name in another case",
             R"({"name": "A", "components": [{"use": "bolt"}], "definitions": {"Bolt": {}}})",
             "$.components[0].use: no definition is named \"bolt\""},
    BadModel{"definition that uses itself",
             R"({"name": "A", "components": [{"use": "Loop"}],
                 "definitions": {"Loop": {"history": ["Sketch1"], "components": [{"use": "Loop"}]}}})",
             "$.definitions.Loop.components[0].use: the definition \"Loop\" uses itself"},
    BadModel{"definition that uses itself through others",
             R"({"name": "A", "components": [{"use": "Outer"}],
                 "definitions": {"Outer": {"components": [{"use": "Middle"}]},
                                 "Middle": {"components": [{"name": "Plate", "components": [{"use": "Inner"}]}]},
                                 "Inner": {"components": [{"use": "Bolt"}, {"use": "Outer"}]},
                                 "Bolt": {}}})",
             "$.definitions.Inner.components[1].use: the definition \"Outer\" uses itself through \"Middle\", "
             "\"Inner\""},
    BadModel{"circle below a definition that is not in it",
             R"({"name": "A", "components": [{"use": "Top"}],
                 "definitions": {"Top": {"components": [{"use": "Ping"}]}, "Ping": {"components": [{"use": "Pong"}]},
                                 "Pong": {"components": [{"use": "Ping"}]}}})",
             "$.definitions.Pong.components[0].use: the definition \"Ping\" uses itself through \"Pong\""},
    BadModel{"definition given twice", "{\"name\": \"A\", \"definitions\": {\"Bolt M8\": {},\n \"Bolt M8\": {}}}",
             "$.definitions: field \"Bolt M8\" appears twice"},
    BadModel{"use with a name", R"({"name": "A", "components": [{"use": "Bolt", "name": "Bolt"}],
                                    "definitions": {"Bolt": {}}})",
             "$.components[0].name: unknown field (a use of a definition has \"use\" alone)"},
    BadModel{"use after another field", R"({"name": "A", "components": [{"history": [], "use": "Bolt"}],
                                           "definitions": {"Bolt": {}}})",
             "$.components[0].history: unknown field (a use of a definition has \"use\" alone)"},
    BadModel{"use a number", R"({"name": "A", "components": [{"use": 8}]})",
             "$.components[0].use: expected a string, found a number"},
    BadModel{"use null", R"({"name": "A", "components": [{"use": null}]})",
             "$.components[0].use: expected a string, found null"},
    BadModel{"use an object", R"({"name": "A", "components": [{"use": {"name": "Bolt"}}]})",
             "$.components[0].use: expected a string, found an object"},
    BadModel{"definitions an array", R"({"name": "A", "definitions": []})",
             "$.definitions: expected an object, found an array"},
    BadModel{"definition a string", R"({"name": "A", "components": [{"use": "Bolt"}], "definitions": {"Bolt": "M8"}})",
             "$.definitions.Bolt: expected an object, found a string"},
    BadModel{"definition that is a use", R"({"name": "A", "components": [{"use": "Bolt"}],
                                            "definitions": {"Bolt": {"use": "Nut"}, "Nut": {}}})",
             "$.definitions.Bolt.use: unknown field (a definition has \"name\", \"history\", \"components\")"},
    BadModel{"definition's name a number", R"({"name": "A", "components": [{"use": "Bolt"}],
                                               "definitions": {"Bolt": {"name": 8}}})",
             "$.definitions.Bolt.name: expected a string, found a number"},
    BadModel{"definitions only at the top", R"({"name": "A", "components": [{"name": "B", "definitions": {}}]})",
             "$.components[0].definitions: unknown field (a component has \"name\", \"history\", \"components\", "
             "or \"use\" alone)"},
    BadModel{"definition never used",
             R"({"name": "A", "components": [{"use": "Bolt"}], "definitions": {"Bolt": {}, "Spare": {}}})",
             "$.definitions.Spare: defined, but the assembly never uses it"},
    BadModel{"definitions that only use each other",
             R"({"name": "A", "definitions": {"Ping": {"components": [{"use": "Pong"}]},
                                              "Pong": {"components": [{"use": "Ping"}]}}})",
             "$.definitions.Ping: defined, but the assembly never uses it"},
    // A key that is not a plain word stands in brackets, so that no key reads as a path.
    BadModel{"path through a key with blanks", R"({"name": "A", "components": [{"use": "Bolt M8"}],
                                                  "definitions": {"Bolt M8": {"history": [1]}}})",
             "$.definitions[\"Bolt M8\"].history[0]: expected a string, found a number"},
    BadModel{"path through a key with a dot and quotes",
             R"({"name": "A", "components": [{"use": "a.b \"c\""}],
                 "definitions": {"a.b \"c\"": {"components": [{"nom": "x"}]}}})",
             "$.definitions[\"a.b \\\"c\\\"\"].components[0].nom: unknown field (a component has \"name\", "
             "\"history\", \"components\", or \"use\" alone)"},
    BadModel{"key holding NUL", R"({"name": "A", "components": [{"use": "A\u0000B"}], "definitions": {"A\u0000B": {}}})",
             "$.definitions[\"A\\u0000B\"]: a name cannot hold U+0000"},
    BadModel{"uses past the deepest assembly", modelUsingAChainOf(100),
             "$.definitions.D98.components[0].use: the assembly would be more than 100 levels deep"},
    // "D0" of a chain 60 deep is used at the top, then again 46 levels down,
    // where its levels are known already.
    BadModel{"a definition used again deeper",
             "{\"name\": \"A\", \"components\": [{\"use\": \"D0\"}, " + componentsDownTo(45, "D0") +
                 "], \"definitions\": {" + chainOfDefinitions(60) + "}}",
             "$.components[1]" + repeated(".components[0]", 44) +
             ".components[0].use: the assembly would be more than 100 levels deep"}));

struct HostText {
    const char* label;
    int codePage;
    std::string utf8;
    std::optional<std::string> ansi;   // none when the code page cannot hold the text exactly
};

void PrintTo(const HostText& text, std::ostream* out) { *out << text.label; }

class HostTextConversion : public ::testing::TestWithParam<HostText> {};

TEST_P(HostTextConversion, GoesIntoTheCodePageExactlyOrNotAtAllAndComesBack)
{
    IN_CODE_PAGE(GetParam().codePage);
    EXPECT_EQ(sim::utf8ToAnsi(GetParam().utf8), GetParam().ansi);
    if (GetParam().ansi) {
        EXPECT_EQ(sim::ansiToUtf8(*GetParam().ansi), GetParam().utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(BothCodePages, HostTextConversion, ::testing::Values(
    HostText{"empty", 936, "", ""},
    HostText{"ASCII", 936, "Sketch1", "Sketch1"},
    HostText{"Chinese in GBK", 936, "\xE6\x8B\x89\xE4\xBC\xB8" "1", "\xC0\xAD\xC9\xEC" "1"},
    HostText{"emoji in GBK", 936, "Gear \xF0\x9F\x98\x80", std::nullopt},
    HostText{"not UTF-8", 936, "Cut\xFF", std::nullopt},
    HostText{"Western in CP1252", 1252, "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
    HostText{"Chinese in CP1252", 1252, "\xE6\x8B\x89\xE4\xBC\xB8", std::nullopt},
    // Windows would write 'A' for it, a look-alike that reads back as another name.
    HostText{"a look-alike only in CP1252", 1252, "\xC4\x80" "1", std::nullopt},
    HostText{"overlong UTF-8", 1252, "\xC0\xAF", std::nullopt}));

class ModelFile : public SimTest {};

TEST_F(ModelFile, ANameTheCodePageCannotHoldIsAnErrorWithItsPath)
{
    const std::string model = "{\"name\": \"Gearbox\", \"components\": [{\"name\": \"Shaft\"}, {\"name\": \"Key\"},\n"
                              "  {\"name\": \"Pin\", \"history\": [\"\xE6\x8B\x89\xE4\xBC\xB8" "1\"]}]}";
    {
        IN_CODE_PAGE(1252);
        sim::ModelReadResult result = sim::readModel(model);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.substr(0, result.error.find(" cannot")),
                  "$.components[2].history[0]: \"\xE6\x8B\x89\xE4\xBC\xB8" "1\"");
        EXPECT_TRUE(sim::objects().empty());
        // A definition without a name of its own is named by its key, which
        // is no name of the host's when it has one.
        const std::string usesPin = "{\"name\": \"Gearbox\", \"components\": [{\"use\": \"\xE9\x94\x80\"}],\n"
                                    " \"definitions\": {\"\xE9\x94\x80\": ";
        result = sim::readModel(usesPin + "{}}}");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.substr(0, result.error.find(" cannot")),
                  "$.definitions[\"\xE9\x94\x80\"]: \"\xE9\x94\x80\"");
        EXPECT_TRUE(sim::readModel(usesPin + "{\"name\": \"Pin\"}}}").ok);
    }
    {
        IN_CODE_PAGE(936);
        EXPECT_TRUE(sim::readModel(model).ok);
        // An emoji is in neither code page.
        sim::ModelReadResult result = sim::readModel("{\"name\": \"Gear \xF0\x9F\x98\x80\"}");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.substr(0, result.error.find(" cannot")),
                  "$.name: \"Gear \xF0\x9F\x98\x80\"");
    }
}

TEST_F(ModelFile, ReadsTheTreeInOrderWithNamesInTheCodePage)
{
    IN_CODE_PAGE(936);
    sim::ModelReadResult result = sim::readModel(
        "\xEF\xBB\xBF{\"name\": \"Gearbox\", \"history\": [\"Sketch1\", \"\xE8\x8D\x89\xE5\x9B\xBE" "2\"],\n"
        " \"components\": [{\"name\": \"Shaft\", \"components\": [{\"name\": \"Key\", \"history\": [\"Cut\\/3\"]}]},\n"
        "                {\"name\": \"Shaft\"}]}");
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<int32_t> all = sim::objects();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(sim::root(), all[0]);
    EXPECT_EQ(historyNames(all[0]), (std::vector<std::string>{"Sketch1", "\xB2\xDD\xCD\xBC" "2"}));
    EXPECT_EQ(sim::components(all[0]), (std::vector<int32_t>{all[1], all[3]}));
    EXPECT_EQ(sim::components(all[1]), std::vector<int32_t>{all[2]});
    EXPECT_EQ(sim::objectName(all[3]), "Shaft");
    EXPECT_EQ(historyNames(all[2]), std::vector<std::string>{"Cut/3"});
}

// The objects named `name`, in the order added.
std::vector<int32_t> objectsNamed(const std::string& name)
{
    std::vector<int32_t> named;
    for (int32_t object : sim::objects())
        if (sim::objectName(object) == name)
            named.push_back(object);
    return named;
}

TEST_F(ModelFile, ReadsADefinitionAsOneObjectThatEveryUseIsAnOccurrenceOf)
{
    IN_CODE_PAGE(936);
    sim::ModelReadResult result = sim::readModel(R"({"name": "Gearbox",
        "components": [{"use": "Bolt M8"}, {"name": "Cover", "components": [{"use": "Bolt M8"}, {"use": "Pin"}]},
                       {"use": "Bolt M8"}],
        "definitions": {"Bolt M8": {"history": ["Revolve1_Sketch", "Chamfer1"]},
                        "Pin": {"name": "销", "history": ["Extrude1"]}}})");
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<int32_t> all = sim::objects();
    ASSERT_EQ(all.size(), 4u);
    // The top, then the definitions in the order written, then the components in place.
    const int32_t gearbox = all[0], bolt = all[1], pin = all[2], cover = all[3];
    EXPECT_EQ(sim::objectName(bolt), "Bolt M8");
    EXPECT_EQ(sim::objectName(pin), "\xCF\xFA");   // its own name, in GBK
    EXPECT_EQ(sim::objectName(cover), "Cover");
    EXPECT_EQ(sim::components(gearbox), (std::vector<int32_t>{bolt, cover, bolt}));
    EXPECT_EQ(sim::components(cover), (std::vector<int32_t>{bolt, pin}));
    EXPECT_EQ(historyNames(bolt), (std::vector<std::string>{"Revolve1_Sketch", "Chamfer1"}));
    EXPECT_EQ(historyNames(pin), std::vector<std::string>{"Extrude1"});
    EXPECT_TRUE(sim::history(gearbox).empty());
}

TEST_F(ModelFile, ReadsDefinitionsWhereverTheyStandAndAsDeepAsTheDeepestAssembly)
{
    ASSERT_TRUE(sim::readModel(R"({"definitions": {"Nut": {"history": ["Cut1"]}}, "name": "A",
                                    "components": [{"use": "Nut"}, {"use": "Nut"}]})").ok);
    EXPECT_EQ(objectsNamed("Nut").size(), 1u);
    // A 99 long, used from the top: 100 levels.
    sim::ModelReadResult deepest = sim::readModel(modelUsingAChainOf(99));
    ASSERT_TRUE(deepest.ok) << deepest.error;
    EXPECT_EQ(sim::objects().size(), 100u);
}

// A bearing used twice whose ball is used three times in it and once more at
// the top, and a definition used once, which is written in place.
const char kSharedSubAssembly[] = R"({"name": "Gearbox", "history": ["Sketch1"],
    "components": [{"use": "Bearing 6204"}, {"name": "Shaft", "components": [{"use": "Bearing 6204"}, {"use": "Key"}]},
                   {"use": "Ball"}],
    "definitions": {"Ball": {"history": ["Sphere1"]},
                    "Bearing 6204": {"history": ["Mate1"],
                                     "components": [{"name": "Race"}, {"use": "Ball"}, {"use": "Ball"}, {"use": "Ball"}]},
                    "Key": {"history": ["Extrude1"]}}})";

TEST_F(ModelFile, WritesSharedObjectsAsDefinitionsAndReadsThemBackShared)
{
    ASSERT_TRUE(sim::readModel(kSharedSubAssembly).ok);
    const std::string expected = R"({
  "name": "Gearbox",
  "history": [
    "Sketch1"
  ],
  "components": [
    {"use": "Bearing 6204"},
    {
      "name": "Shaft",
      "components": [
        {"use": "Bearing 6204"},
        {
          "name": "Key",
          "history": [
            "Extrude1"
          ]
        }
      ]
    },
    {"use": "Ball"}
  ],
  "definitions": {
    "Ball": {
      "history": [
        "Sphere1"
      ]
    },
    "Bearing 6204": {
      "history": [
        "Mate1"
      ],
      "components": [
        {
          "name": "Race"
        },
        {"use": "Ball"},
        {"use": "Ball"},
        {"use": "Ball"}
      ]
    }
  },
  "messages": [],
  "sent": []
}
)";
    const std::string written = sim::writeModel();
    EXPECT_EQ(written, expected);

    sim::ModelReadResult again = sim::readModel(written);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(sim::writeModel(), written);
    const std::vector<int32_t> bearing = objectsNamed("Bearing 6204"), ball = objectsNamed("Ball");
    ASSERT_EQ(bearing.size(), 1u);
    ASSERT_EQ(ball.size(), 1u);
    EXPECT_EQ(sim::components(bearing[0]),
              (std::vector<int32_t>{objectsNamed("Race").at(0), ball[0], ball[0], ball[0]}));
    EXPECT_EQ(sim::components(objectsNamed("Shaft").at(0)),
              (std::vector<int32_t>{bearing[0], objectsNamed("Key").at(0)}));
}

TEST_F(ModelFile, SaysWhichObjectsAreSharedAndHowManyComponentsUseThem)
{
    ASSERT_TRUE(sim::readModel(kSharedSubAssembly).ok);
    std::vector<std::string> shared;
    for (const sim::SharedObject& object : sim::sharedObjects())
        shared.push_back(object.key + " " + std::to_string(object.uses) + " " + sim::objectName(object.object));
    // Uses are counted where they are written: the ball four times, not seven.
    EXPECT_EQ(shared, (std::vector<std::string>{"Ball 4 Ball", "Bearing 6204 2 Bearing 6204"}));
}

// A document built through the host's own calls can hold what a file cannot
// say as it is: two shared objects of one name, and components that lead
// back to an object above them.
TEST_F(ModelFile, WritesAnyDocumentAsAModelThatReadsBack)
{
    int32_t top = addPart("Top");
    int32_t bolt = addPart("Bolt", {"Cut1"});
    int32_t otherBolt = addPart("Bolt", {"Cut2"});
    int32_t loop = addPart("Loop");
    for (int32_t child : {bolt, otherBolt, bolt, otherBolt, loop})
        sim::addComponent(top, child);
    sim::addComponent(loop, top);
    sim::addComponent(loop, loop);
    sim::addComponent(loop, otherBolt);

    const std::string written = sim::writeModel();
    EXPECT_NE(written.find(R"json(  "components": [
    {"use": "Bolt"},
    {"use": "Bolt (2)"},
    {"use": "Bolt"},
    {"use": "Bolt (2)"},
    {
      "name": "Loop",
      "components": [
        {"use": "Bolt (2)"}
      ]
    }
  ],
  "definitions": {
    "Bolt": {
      "history": [
        "Cut1"
      ]
    },
    "Bolt (2)": {
      "name": "Bolt",
      "history": [
        "Cut2"
      ]
    }
  },)json"),
              std::string::npos)
        << written;
    sim::ModelReadResult again = sim::readModel(written);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(objectsNamed("Bolt").size(), 2u);
    EXPECT_EQ(sim::writeModel(), written);
}

TEST_F(ModelFile, WritesTheDocumentAndTheRunsRecordsAndReadsThemBack)
{
    IN_CODE_PAGE(936);
    const std::string model =
        "{\"name\": \"Gearbox\", \"history\": [\"Default CSYS\", \"\xE6\x8B\x89\xE4\xBC\xB8" "1\"],\n"
        " \"components\": [{\"name\": \"Shaft \\\"A\\\"\", \"components\": [{\"name\": \"Key\", \"history\": "
        "[\"Cut3\"]}]}, {\"name\": \"Empty\"}]}";
    ASSERT_TRUE(sim::readModel(model).ok);
    hostDisplayMessage("\xB4\xF2\xBF\xAA" "Excel", 5);
    hostSendCommand("$CdPlayAutoHist");
    const std::string expected = R"({
  "name": "Gearbox",
  "history": [
    "Default CSYS",
    "拉伸1"
  ],
  "components": [
    {
      "name": "Shaft \"A\"",
      "components": [
        {
          "name": "Key",
          "history": [
            "Cut3"
          ]
        }
      ]
    },
    {
      "name": "Empty"
    }
  ],
  "messages": [
    {"level": 5, "text": "打开Excel"}
  ],
  "sent": [
    "$CdPlayAutoHist"
  ]
}
)";
    std::string written = sim::writeModel();
    EXPECT_EQ(written, expected);

    sim::ModelReadResult again = sim::readModel(written);
    ASSERT_TRUE(again.ok) << again.error;
    std::string rewritten = sim::writeModel();
    EXPECT_EQ(rewritten.substr(0, rewritten.find("\"messages\"")), written.substr(0, written.find("\"messages\"")));
    EXPECT_NE(rewritten.find("\"messages\": [],\n  \"sent\": []\n}"), std::string::npos) << rewritten;
}

// A host that keeps names distinct is part of the model and is written back.
TEST_F(ModelFile, DistinctNamesReadAndWriteBack)
{
    for (bool distinct : {false, true}) {
        const std::string text = std::string("{\"name\": \"A\", \"history\": [\"S1\", \"S2\"]") +
                                 (distinct ? ", \"distinctNames\": true" : "") + "}";
        ASSERT_TRUE(sim::readModel(text).ok);
        EXPECT_EQ(sim::distinctNames(), distinct);
        const std::string written = sim::writeModel();
        EXPECT_EQ(written.find("\"distinctNames\": true") != std::string::npos, distinct) << written;
        ASSERT_TRUE(sim::readModel(written).ok);
        EXPECT_EQ(sim::distinctNames(), distinct);
    }
}

TEST_F(ModelFile, TheDeepestModelReadsAndWritesAsItReads)
{
    ASSERT_TRUE(sim::readModel(componentsNestedIn(99)).ok);
    EXPECT_EQ(sim::objects().size(), 100u);
    std::string written = sim::writeModel();
    sim::ModelReadResult again = sim::readModel(written);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(sim::writeModel(), written);
}

// Control characters as \u escapes with upper-case digits, but for tab,
// carriage return and line feed, as the files written before have them.
TEST_F(ModelFile, WritesControlCharactersAsEscapesOfItsOwn)
{
    addPart("\x01\b\f\x1F\t\r\n \"q\" \\ /\x7F");
    std::string written = sim::writeModel();
    EXPECT_NE(written.find("\"name\": \"\\u0001\\u0008\\u000C\\u001F\\t\\r\\n \\\"q\\\" \\\\ /\x7F\",\n"),
              std::string::npos)
        << written;
}

TEST_F(ModelFile, WritesNamesThatAreNotTextInTheCodePageAsUtf8)
{
    IN_CODE_PAGE(936);
    addPart("P", {"Cut\xFF" "1_\xB2\xDD\xCD\xBC"});   // 0xFF begins no character in GBK
    std::string written = sim::writeModel();
    EXPECT_EQ(written.find('\xFF'), std::string::npos) << written;
#if defined(_WIN32)
    // Windows puts a stand-in character of its own choosing.
    EXPECT_NE(written.find("1_\xE8\x8D\x89\xE5\x9B\xBE\""), std::string::npos) << written;
#else
    EXPECT_NE(written.find("\"Cut\xEF\xBF\xBD" "1_\xE8\x8D\x89\xE5\x9B\xBE\""), std::string::npos) << written;
#endif
}

} // namespace
