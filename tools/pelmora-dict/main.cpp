// pelmora-dict: explains a dictionary workbook. It reads the workbook with
// the module's own loader and names with the module's own naming rule, so
// that what it says is what the plug-in does. This file takes the arguments
// and runs a command; the analyses and the reports are units of their own.
#include "console.h"
#include "exit_code.h"
#include "files.h"
#include "reports.h"
#include "text_lines.h"
#include "text.h"
#include "common/utf8.h"
#include "tool_main.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace {

using tools::Argument;
using Json = nlohmann::ordered_json;

constexpr char kProgram[] = "pelmora-dict";

constexpr char kUsage[] = R"(usage: pelmora-dict check WORKBOOK [--strict] [--json]
       pelmora-dict preview WORKBOOK --names FILE [--to chinese|english|swap] [--json]
       pelmora-dict dump WORKBOOK [--rows N] [--json]
       pelmora-dict --help | --version

Explains a Pelmora dictionary workbook (.xlsx, or .xls by its extension) the
way the plug-in reads it: on the first sheet, the pairs between a row whose
column A is KQ_FILE_START (looked for in rows 1 to 101) and a row whose column
A is KQ_FILE_END, term in column A, counterpart in column B. Rows are numbered
as in the spreadsheet, from 1.

  check     where the markers are, or why none was found (a marker in another
            case, with blanks, or past row 101); pairs entered; rows skipped
            because a cell is empty; terms entered twice with different
            counterparts and which one wins; chains (a term's counterpart has a
            third term as its own counterpart); terms that can never match a
            history name; terms in both columns, which PelmoraToChinese and
            PelmoraToEnglish keep as they are; columns that look the wrong way
            round (Chinese in column A); number cells and the text they read as.
  --strict  with check: exit code 7 when the workbook loads but has warnings.
  preview   for each line of FILE, the name the plug-in would give it, the
            name's pattern, and why it stays unchanged when it does, shown as
            each name is read. FILE is UTF-8, with or without a byte-order
            mark, or UTF-16 with its mark, as editors save it; lines end in
            LF or CRLF, and empty ones are passed over. Names are taken in the
            ANSI code page of the current locale, as the host would hold them.
            --to chinese shows what PelmoraToChinese does (column A terms to
            their column B counterparts), --to english what PelmoraToEnglish
            does (B to A); the default, swap, what PelmoraSwap does.
  dump      columns A and B with each cell's type and its text or number as
            the spreadsheet layer reads them, through the last used row, or
            the first N rows with --rows N.
  --json    one JSON document (UTF-8) on standard output instead of text, also
            when the command fails. Every document begins with
              "command": S|null, "version": S, "schema": N, "workbook": S|null,
              "error": null | {"code": S, "message": S}
            and, when "error" is null, goes on with the command's fields:
            check:   "loads": B, "startMarker": {"row": N, "cell": S}|null,
                     "endMarker": {"row": N, "cell": S}|null, "pairsEntered": N,
                     "pairs": [{"row": N, "A": S, "B": S}], "blankRows": N,
                     "skippedRows": [{"row": N, "emptyCell": S}],
                     "markerNearMisses": [{"marker": S, "row": N, "cell": S, "text": S, "code": S, "why": S}],
                     "conflicts": [{"term": S, "counterparts": [{"row": N, "counterpart": S}], "wins": S}],
                     "chains": [{"term": S, "counterpart": S, "then": S}],
                     "unmatchable": [{"row": N, "cell": S, "term": S, "code": S, "why": S}],
                     "inBothColumns": [{"term": S, "cellA": S, "cellB": S}],
                     "columnsReversed": B,
                     "numberCells": [{"row": N, "cell": S, "value": N, "text": S}],
                     "warnings": [{"code": S, "text": S}]
            preview: "loads": B, "codePage": S, "direction": "swap"|"chinese"|"english",
                     "names": [{"line": N, "name": S, "newName": S|null, "pattern": S,
                                "changed": B, "code": S|null, "why": S|null}],
                     and "interrupted": {"code": S, "message": S} after them when
                     the names could not all be read
            dump:    "lastRow": N, "rows": [{"row": N, "A": CELL, "B": CELL}]
                     CELL: {"type": "empty"|"number"|"string"|"boolean"|"blank"|"error",
                            "text": S (string), "value": N and "text": S (number, as the loader reads it)}
            The codes are stable; the texts beside them are for people.

"-" as WORKBOOK or FILE reads standard input; "--" ends the options; an
option takes its value as "--rows 20" or "--rows=20". Without arguments, or
with --help, this text.
Text is shown in the encoding of the terminal or, redirected, in UTF-8 on
Windows and in the locale's encoding elsewhere.

Exit codes:
  0  done; for check and preview, the plug-in loads the workbook
  1  the plug-in would not load the workbook: it is no workbook, has no sheet
     or has no start marker; or a line of the names is not valid text
  2  bad arguments
  3  an input file (the workbook or the names) cannot be read
  7  check --strict: the workbook loads, with warnings
  8  out of memory, or an unexpected failure
)";

constexpr tools::OptionSpec kOptions[] = {
    {"--help", false},   {"-h", false},     {"--version", false}, {"--json", false},
    {"--strict", false}, {"--names", true}, {"--to", true},       {"--rows", true},
};

// A command and the options it takes beside --json.
struct Command {
    std::string_view name;
    std::string_view options[2];
};
constexpr Command kCommands[] = {
    {"check", {"--strict"}},
    {"preview", {"--names", "--to"}},
    {"dump", {"--rows"}},
};

// The rule that `preview --to` names.
struct PreviewDirection {
    const char* name;
    Direction direction;
};
constexpr PreviewDirection kPreviewDirections[] = {
    {"swap", Direction::Swap},
    {"chinese", Direction::ToColumnB},
    {"english", Direction::ToColumnA},
};

// A sheet holds at most 1048576 rows.
constexpr int kMostRows = 1048576;

// What the command line asks for.
struct Request {
    const Command* command = nullptr;
    std::optional<Argument> workbook;
    std::optional<Argument> names;
    const PreviewDirection* direction = &kPreviewDirections[0];
    std::optional<int> rows;
    bool strict = false;
};

// Where the outcome goes: text for people, or one JSON document.
class Reply {
public:
    explicit Reply(bool json) : json_(json) {}

    bool json() const { return json_; }
    DocumentHead head;

    void text(const std::string& utf8) const { tools::writeText(tools::Stream::Out, utf8); }
    void document(const Json& body) const { writeDocument(jsonDocument(head, nullptr, body)); }

    // Says why the command could not do its work, and returns `exitCode`.
    int fail(int exitCode, const char* code, const std::string& message) const
    {
        if (json_)
            writeDocument(jsonDocument(head, jsonError(code, message), Json::object()));
        else if (exitCode == tools::kBadArguments)
            tools::badArguments(kProgram, message);
        else
            tools::writeText(tools::Stream::Err, std::string(kProgram) + ": " + message + "\n");
        return exitCode;
    }

private:
    static void writeDocument(const Json& document) { tools::writeUtf8(tools::Stream::Out, documentText(document)); }

    bool json_;
};

int badArguments(const Reply& reply, const std::string& message)
{
    return reply.fail(tools::kBadArguments, "bad-arguments", message);
}

// --- Commands ------------------------------------------------------------------------

int check(xl::Book& book, const Request& request, const Reply& reply)
{
    const CheckReport report = checkWorkbook(book);
    if (reply.json())
        reply.document(checkJson(report));
    else
        reply.text(checkText(report, reply.head.workbook));
    if (!report.loads())
        return tools::kUnusableInput;
    return request.strict && !report.warnings.empty() ? tools::kWarnings : tools::kOk;
}

// What goes out, gathered into pieces of about kPieceSize bytes, each ending
// at the end of a name.
class PieceWriter {
public:
    explicit PieceWriter(const Reply& reply) : reply_(reply) {}
    ~PieceWriter() { flush(); }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void add(const std::string& text)
    {
        pending_ += text;
        if (pending_.size() >= kPieceSize)
            flush();
    }
    void flush()
    {
        if (reply_.json())
            tools::writeUtf8(tools::Stream::Out, pending_);
        else
            reply_.text(pending_);
        pending_.clear();
    }

private:
    static constexpr size_t kPieceSize = 65536;
    const Reply& reply_;
    std::string pending_;
};

// The names are read and shown one by one, so that the names file may be of
// any size; what is shown of each name is written as it is known. A verdict
// that needs every name first fits as a pass before this one over a second
// reader of the same input (standard input copied to a temporary file).
int preview(xl::Book& book, const Request& request, const Reply& reply)
{
    tools::InputStream input;
    std::string error;
    if (!input.open(*request.names, error))
        return reply.fail(tools::kCannotRead, "cannot-read", error);
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    LoadRecord load;
    load.read = readDictionaryBook(dictionary, book, kStartMarker, kEndMarker, &load, &columns);
    const PreviewContext context{reply.head.workbook, load, systemCodePageName(), request.direction->name};

    tools::TextLines lines([&](std::string& chunk, std::string& why) { return input.read(chunk, why); });
    size_t previewed = 0;
    size_t invalid = 0;
    size_t firstInvalid = 0;
    bool read = false;
    {
        PieceWriter out(reply);
        out.add(reply.json() ? previewJsonHead(reply.head, context) : previewTextHead(context));
        read = previewLines(lines, NamingRule(columns, request.direction->direction), [&](const NamePreview& name) {
            if (name.code == "invalid-text" && invalid++ == 0)
                firstInvalid = name.line;
            out.add(reply.json() ? previewJsonName(name, previewed == 0) : previewTextName(name));
            ++previewed;
        });
        const std::string names = request.names->isStandardStream() ? "standard input" : request.names->text();
        error = names + ": cannot be read (" + lines.error() + ")";
        if (reply.json())
            out.add(previewJsonEnd(previewed > 0, read ? Json(nullptr) : jsonError("cannot-read", error)));
        if (invalid > 0)
            error = names + ": " + std::to_string(invalid) + (invalid == 1 ? " line is" : " lines are") +
                    " not valid text, the first is line " + std::to_string(firstInvalid);
    }
    if (!read)
        return reply.json() ? tools::kCannotRead : reply.fail(tools::kCannotRead, "cannot-read", error);
    if (invalid > 0 && !reply.json())
        tools::writeText(tools::Stream::Err, std::string(kProgram) + ": " + error + "\n");
    return load.read.hasRegion() && invalid == 0 ? tools::kOk : tools::kUnusableInput;
}

int dump(xl::Book& book, const Request& request, const Reply& reply)
{
    const std::optional<SheetDump> dump = dumpSheet(book, request.rows);
    if (!dump)
        return reply.fail(tools::kUnusableInput, "no-sheet", reply.head.workbook + ": the workbook has no sheet");
    if (reply.json())
        reply.document(dumpJson(*dump));
    else
        reply.text(dumpText(*dump, reply.head.workbook));
    return tools::kOk;
}

int execute(const Request& request, const Reply& reply)
{
    xl::BookHandle book;
    {
        std::string bytes;
        std::string error;
        if (!tools::readInput(*request.workbook, bytes, error))
            return reply.fail(tools::kCannotRead, "cannot-read", error);
        // The extension alone chooses the kind of book, as in the plug-in.
        book = openWorkbookBytes(bytes, xl::utf8ToUtf16(request.workbook->text()), error);
        if (!book)
            return reply.fail(tools::kUnusableInput, "not-a-workbook",
                              reply.head.workbook + ": not a workbook that the plug-in can read: " + error);
    }
    if (request.command->name == "check")
        return check(*book, request, reply);
    if (request.command->name == "preview")
        return preview(*book, request, reply);
    return dump(*book, request, reply);
}

// --- Arguments -----------------------------------------------------------------------

// Fills `request` from the parsed options; an error message when one does not fit.
std::optional<std::string> takeOptions(const tools::ParsedArguments& parsed, Request& request)
{
    for (const tools::ParsedOption& option : parsed.options) {
        const std::string_view name = option.spec->name;
        if (name == "--json")
            continue;
        const auto& taken = request.command->options;
        if (std::find(std::begin(taken), std::end(taken), name) == std::end(taken))
            return "unknown option " + std::string(name) + " for " + std::string(request.command->name);
        const std::string& value = option.value.text();
        if (name == "--strict") {
            request.strict = true;
        } else if (name == "--names") {
            request.names = option.value;
        } else if (name == "--to") {
            const auto named = std::find_if(std::begin(kPreviewDirections), std::end(kPreviewDirections),
                                            [&](const PreviewDirection& known) { return value == known.name; });
            if (named == std::end(kPreviewDirections))
                return "--to needs chinese, english or swap, not '" + value + "'";
            request.direction = named;
        } else if (name == "--rows") {
            int rows = 0;
            const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), rows);
            if (status != std::errc() || end != value.data() + value.size() || rows < 1 || rows > kMostRows)
                return "--rows needs a number from 1 to " + std::to_string(kMostRows) + ", not " + value;
            request.rows = rows;
        }
    }
    return std::nullopt;
}

int run(const std::vector<Argument>& arguments)
{
    // Known before anything can fail, so that every failure is a JSON document too.
    const auto optionsEnd = std::find_if(arguments.begin(), arguments.end(),
                                         [](const Argument& argument) { return argument.text() == "--"; });
    const bool json = std::any_of(arguments.begin(), optionsEnd,
                                  [](const Argument& argument) { return argument.text() == "--json"; });
    Reply reply(json);
    if (arguments.empty()) {
        reply.text(kUsage);
        return tools::kOk;
    }
    tools::ParsedArguments parsed;
    std::string error;
    if (!tools::parseArguments(arguments, kOptions, parsed, error))
        return badArguments(reply, error);
    for (const tools::ParsedOption& option : parsed.options) {
        if (option.spec->name == "--help" || option.spec->name == "-h") {
            reply.text(kUsage);
            return tools::kOk;
        }
        if (option.spec->name == "--version") {
            reply.text(tools::versionText(kProgram));
            return tools::kOk;
        }
    }
    if (parsed.operands.empty())
        return badArguments(reply, "no command given (check, preview or dump)");

    Request request;
    const std::string& command = parsed.operands[0].text();
    const auto known = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& candidate) { return candidate.name == command; });
    if (known == std::end(kCommands))
        return badArguments(reply, "unknown command " + command + " (check, preview or dump)");
    request.command = known;
    reply.head.command = command;
    if (std::optional<std::string> misfit = takeOptions(parsed, request))
        return badArguments(reply, *misfit);
    if (parsed.operands.size() != 2)
        return badArguments(reply, parsed.operands.size() == 1
                                       ? command + " needs a workbook"
                                       : command + " takes one workbook, not " +
                                             std::to_string(parsed.operands.size() - 1));
    request.workbook = parsed.operands[1];
    reply.head.workbook = request.workbook->text();
    if (command == "preview" && !request.names)
        return badArguments(reply, "preview needs --names FILE");
    if (request.names && request.names->isStandardStream() && request.workbook->isStandardStream())
        return badArguments(reply, "standard input (\"-\") can stand for one file only");
    return tools::guarded([&] { return execute(request, reply); },
                          [&](int code, const std::string& message) { return reply.fail(code, "internal-error", message); });
}

} // namespace

int main(int argc, char** argv) { return tools::runTool(argc, argv, kProgram, run); }
