// pelmora-dict: explains a dictionary workbook. It reads the workbook with
// the module's own loader and names with the module's own naming rule, so
// that what it says is what the plug-in does. This file takes the arguments
// and runs a command; the analyses and the reports are units of their own.
#include "console.h"
#include "exit_code.h"
#include "files.h"
#include "workbook_loader.h"
#include "reports.h"
#include "text_lines.h"
#include "text.h"
#include "utf8.h"
#include "tool_main.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
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
       pelmora-dict merge CONFIG FILLED (--out NEW | --in-place) [--strict] [--json]
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
            name's pattern, and why it stays unchanged when it does. FILE is
            UTF-8, with or without a byte-order mark, or UTF-16 with its mark,
            as editors save it; lines end in LF or CRLF, and empty ones are
            passed over. Names are taken in the ANSI code page of the current
            locale, as the host would hold them, and as the names of one part:
            a name whose new form another line ends with stays as it is.
            --to chinese shows what PelmoraToChinese does (column A terms to
            their column B counterparts), --to english what PelmoraToEnglish
            does (B to A); the default, swap, what PelmoraSwap does.
  dump      columns A and B with each cell's type and its text or number as
            the spreadsheet layer reads them, through the last used row, or
            the first N rows with --rows N.
  merge     adds to the dictionary workbook CONFIG (.xlsx) each pair of FILLED
            that CONFIG lacks: FILLED is read as the plug-in reads a
            dictionary (the rows between its markers where both columns hold
            a term), such as the "Missing terms" sheet of a PelmoraReport with
            its empty column filled in. The new pairs go in as rows just
            before CONFIG's end marker; the rows below move down with their
            cells. A pair CONFIG has already is skipped; a term that CONFIG
            (or an earlier row of FILLED) maps to another counterpart, a pair
            with the same term twice, Chinese in column A only, or a term no
            history name can hold is refused and listed. The result goes to
            NEW, which must not be CONFIG, or with --in-place to CONFIG itself,
            the old one kept as CONFIG.bak; always through a temporary file,
            so that CONFIG is never harmed. Every part of the workbook but the
            dictionary's sheet is copied unchanged. A sheet holding what cannot
            move with its rows (formulas, merged cells, tables, conditional
            formats, data validations, hyperlinks, filters, drawings or
            comments at or below the end marker, names that point into it)
            is refused, and nothing is written.
  --strict  with merge: exit code 7 when pairs were refused.
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
            merge:   "filled": S, "out": S|null, "written": B,
                     "added": [{"row": N, "A": S, "B": S}],
                     "skipped": [{"row": N, "A": S, "B": S, "code": S, "why": S}],
                     "refused": [{"row": N, "A": S, "B": S, "code": S, "why": S}]
                     (rows are FILLED's; written is false when nothing was added)
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
     or has no start marker; or a line of the names is not valid text; for
     merge also: CONFIG has no end marker, is an .xls workbook, or its sheet
     holds what cannot move with its rows
  2  bad arguments
  3  an input file (the workbook or the names) cannot be read
  6  merge: the new workbook cannot be written
  7  check --strict: the workbook loads, with warnings; merge --strict: pairs
     were refused
  8  out of memory, or an unexpected failure
)";

constexpr tools::OptionSpec kOptions[] = {
    {"--help", false},   {"-h", false},     {"--version", false}, {"--json", false},
    {"--strict", false}, {"--names", true}, {"--to", true},       {"--rows", true},
    {"--out", true},     {"--in-place", false},
};

// A command and the options it takes beside --json.
struct Command {
    std::string_view name;
    std::string_view options[3];
    int workbooks = 1;
};
constexpr Command kCommands[] = {
    {"check", {"--strict"}},
    {"preview", {"--names", "--to"}},
    {"dump", {"--rows"}},
    {"merge", {"--out", "--in-place", "--strict"}, 2},
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
    std::optional<Argument> filled;
    std::optional<Argument> out;
    bool inPlace = false;
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
// any size; what is shown of each name is written as it is known. The list
// is read twice (see name_preview.h): standard input from a pipe is copied to
// a scratch file as it is read the first time.
int preview(xl::Book& book, const Request& request, const Reply& reply)
{
    tools::InputStream input;
    std::string error;
    if (!input.open(*request.names, error))
        return reply.fail(tools::kCannotRead, "cannot-read", error);
    const std::string names = request.names->isStandardStream() ? "standard input" : request.names->text();
    if (std::string why; !input.keepForRereading(why))
        return reply.fail(tools::kCannotRead, "cannot-read", names + ": cannot be read (" + why + ")");
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    LoadRecord load;
    load.read = readDictionaryBook(dictionary, book, kStartMarker, kEndMarker, &load, &columns);
    const PreviewContext context{reply.head.workbook, load, systemCodePageName(), request.direction->name};

    bool reading = false;
    const OpenLines open = [&](std::string& why) -> std::unique_ptr<tools::TextLines> {
        if (reading && !input.rewind(why))
            return nullptr;
        reading = true;
        return std::make_unique<tools::TextLines>(
            [&](std::string& chunk, std::string& why) { return input.read(chunk, why); });
    };
    size_t previewed = 0;
    size_t invalid = 0;
    size_t firstInvalid = 0;
    bool read = false;
    {
        PieceWriter out(reply);
        out.add(reply.json() ? previewJsonHead(reply.head, context) : previewTextHead(context));
        std::string why;
        read = previewLines(
            open, NamingRule(columns, request.direction->direction),
            [&](const NamePreview& name) {
                if (name.code == "invalid-text" && invalid++ == 0)
                    firstInvalid = name.line;
                out.add(reply.json() ? previewJsonName(name, previewed == 0) : previewTextName(name));
                ++previewed;
            },
            why);
        error = names + ": cannot be read (" + why + ")";
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

// Whether `a` and `b` name one file, also through another spelling of its path.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::exists(b, error) && std::filesystem::equivalent(a, b, error))
        return true;
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

int merge(const Request& request, const Reply& reply)
{
    if (isBinaryBookName(xl::utf8ToUtf16(request.workbook->text())))
        return reply.fail(tools::kUnusableInput, "xls-config",
                          reply.head.workbook + ": an .xls workbook cannot be merged into; open it in Excel, WPS or "
                                                "LibreOffice, save it as an .xlsx workbook and merge into that");
    const std::filesystem::path target = request.inPlace ? request.workbook->path() : request.out->path();
    if (!request.inPlace && !request.workbook->isStandardStream() && sameFile(request.workbook->path(), target))
        return badArguments(reply, "--out names CONFIG itself; give another name, or --in-place to replace CONFIG "
                                   "and keep the old one as CONFIG.bak");
    std::string configBytes, filledBytes, error;
    if (!tools::readInput(*request.workbook, configBytes, error) || !tools::readInput(*request.filled, filledBytes, error))
        return reply.fail(tools::kCannotRead, "cannot-read", error);
    const xl::BookHandle config = openWorkbookBytes(configBytes, u"config.xlsx", error);
    if (!config)
        return reply.fail(tools::kUnusableInput, "not-a-workbook",
                          reply.head.workbook + ": not an .xlsx workbook that merge can add to: " + error);
    const xl::BookHandle filled = openWorkbookBytes(filledBytes, xl::utf8ToUtf16(request.filled->text()), error);
    if (!filled)
        return reply.fail(tools::kUnusableInput, "not-a-workbook",
                          request.filled->text() + ": not a workbook that the plug-in can read: " + error);
    const MergePlan plan = planMerge(*config, *filled);
    if (plan.config.read.status != WorkbookStatus::Loaded)
        return reply.fail(tools::kUnusableInput, "no-region",
                          reply.head.workbook + ": " +
                              (plan.config.read.hasRegion() ? "has no KQ_FILE_END row in column A, before which "
                                                              "the new pairs would go"
                                                            : "has no KQ_FILE_START row in column A of rows 1 to 101"));
    if (!plan.filled.read.hasRegion())
        return reply.fail(tools::kUnusableInput, "no-region",
                          request.filled->text() + ": has no KQ_FILE_START row in column A of rows 1 to 101");

    const bool writing = !plan.added.empty();
    if (writing) {
        std::string merged;
        try {
            merged = mergedWorkbook(configBytes, plan);
        } catch (const xl::LoadError& refusal) {
            return reply.fail(tools::kUnusableInput, "cannot-move",
                              reply.head.workbook + ": nothing written: " + refusal.message());
        }
        if (const std::string fault = verifyMerged(merged, plan); !fault.empty())
            return reply.fail(tools::kInternalError, "internal-error", "nothing written: " + fault);
        const auto writeWhole = [&error](const std::filesystem::path& path, const std::string& bytes) {
            tools::OutputFile file;
            return file.open(path, error) && file.commit(bytes, error);
        };
        if (request.inPlace) {
            std::filesystem::path backup = target;
            backup += ".bak";
            if (!writeWhole(backup, configBytes))
                return reply.fail(tools::kCannotWrite, "cannot-write", error + "; CONFIG is unchanged");
        }
        if (!writeWhole(target, merged))
            return reply.fail(tools::kCannotWrite, "cannot-write", error);
    }
    const MergeContext context{reply.head.workbook, request.filled->text(),
                               request.inPlace ? reply.head.workbook : request.out->text(), writing};
    if (reply.json())
        reply.document(mergeJson(context, plan));
    else
        reply.text(mergeText(context, plan));
    return request.strict && !plan.refused.empty() ? tools::kWarnings : tools::kOk;
}

int execute(const Request& request, const Reply& reply)
{
    if (request.command->name == "merge")
        return merge(request, reply);
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
        } else if (name == "--out") {
            request.out = option.value;
        } else if (name == "--in-place") {
            request.inPlace = true;
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
        return badArguments(reply, "no command given (check, preview, dump or merge)");

    Request request;
    const std::string& command = parsed.operands[0].text();
    const auto known = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& candidate) { return candidate.name == command; });
    if (known == std::end(kCommands))
        return badArguments(reply, "unknown command " + command + " (check, preview, dump or merge)");
    request.command = known;
    reply.head.command = command;
    if (std::optional<std::string> misfit = takeOptions(parsed, request))
        return badArguments(reply, *misfit);
    const size_t workbooks = static_cast<size_t>(request.command->workbooks);
    if (parsed.operands.size() != workbooks + 1)
        return badArguments(reply, workbooks == 2 ? command + " needs two workbooks, CONFIG and FILLED"
                                   : parsed.operands.size() == 1
                                       ? command + " needs a workbook"
                                       : command + " takes one workbook, not " +
                                             std::to_string(parsed.operands.size() - 1));
    request.workbook = parsed.operands[1];
    if (workbooks == 2)
        request.filled = parsed.operands[2];
    reply.head.workbook = request.workbook->text();
    if (command == "preview" && !request.names)
        return badArguments(reply, "preview needs --names FILE");
    if (request.names && request.names->isStandardStream() && request.workbook->isStandardStream())
        return badArguments(reply, "standard input (\"-\") can stand for one file only");
    if (command == "merge") {
        if (request.out.has_value() == request.inPlace)
            return badArguments(reply, "merge needs either --out NEW or --in-place");
        if (request.filled->isStandardStream() && request.workbook->isStandardStream())
            return badArguments(reply, "standard input (\"-\") can stand for one file only");
        if (request.workbook->isStandardStream() && request.inPlace)
            return badArguments(reply, "--in-place needs CONFIG to be a file, not standard input");
        if (request.out && request.out->isStandardStream())
            return badArguments(reply, "--out needs a file name: the workbook is written through a temporary file");
    }
    return tools::exitCodeOf([&] { return execute(request, reply); },
                          [&](int code, const std::string& message) { return reply.fail(code, "internal-error", message); });
}

} // namespace

int main(int argc, char** argv) { return tools::runTool(argc, argv, kProgram, run); }
