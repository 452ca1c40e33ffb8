// The naming rule: how one history entry's name turns into its counterpart.
//
// A name is a term followed by a number ("Extrude12"), or a term, a number, an
// underscore and a second term ("Extrude12_Sketch"). Each term is replaced by
// its counterpart and everything else is carried over byte for byte; a name
// that fits neither form, holds a term without a counterpart, or a term whose
// counterpart the system's code page cannot hold exactly, comes back exactly
// as it was: a name written with '?' or a look-alike letter in place of a
// character could never be turned back. The two names of the default
// coordinate system swap directly: "Default CSYS" and "默认CSYS", the latter
// in the system's code page like any counterpart, and so left as it is where
// the code page cannot hold it. Earlier versions wrote "默认CSYS" in code
// page 936 whatever the host's; those bytes, met in any code page, turn back
// into "Default CSYS", so that a model they were written into heals.
//
// The swap turns every term it knows into its counterpart. The rule toward
// one column (one language) looks at the same segments, but only turns the
// terms of the other column: a term of the wanted column is kept, so a name
// that mixes both languages comes out in one, and a name already in it stays
// as it is. A term that stands in both columns counts as one of the wanted
// column: it is kept, whichever way the rule goes, which is what makes every
// rule toward one column give nothing new when run on its own result.
#pragma once

#include "term_columns.h"
#include "term_dictionary.h"
#include "text.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

enum class NamePattern {
    CoordinateSystem,   // "Default CSYS" or its Chinese form, swapped directly
                        // (also its code page 936 form met in another code page)
    OneTerm,            // prefix, then a suffix from the first digit on
    TwoTerm,            // prefix, middle from the first digit to the next '_', rest
};

enum class NameOutcome {
    Translated,
    NoDigit,                   // no digit anywhere
    NoUnderscoreAfterDigit,    // two-term form without a '_' after the first digit
    EmptySegment,              // a term to look up is empty
    NoCounterpart,             // a term has no counterpart
    CounterpartNotWritable,    // every term has one, but one of them cannot be
                               // written in the system's code page
    AlreadyInTarget,           // toward one column: every term stands in it already
};

enum class Direction {
    Swap,         // every term to its counterpart
    ToColumnA,    // to English with the shipped workbook
    ToColumnB,    // to Chinese with the shipped workbook
};

// What a run translates with: the swap over a term table, or the rule toward
// one column, which also needs the columns of the terms: the marks that the
// term table keeps with them (TermColumns).
class NamingRule {
public:
    // The swap. Not explicit: a term table is the swap's whole rule.
    NamingRule(const TermDictionary& terms) : terms_(terms) {}
    NamingRule(const TermColumns& columns, Direction direction) : terms_(columns.terms()), direction_(direction) {}
    const TermDictionary& terms() const { return terms_; }
    Direction direction() const { return direction_; }

private:
    const TermDictionary& terms_;
    Direction direction_ = Direction::Swap;
};

struct NameTranslation {
    std::string name;          // the new name
    NamePattern pattern = NamePattern::OneTerm;
    NameOutcome outcome = NameOutcome::Translated;
    // The segments of the old name (views into it); middle is empty for the
    // one-term form, whose carried-over part is `carried`.
    std::string_view prefix;
    std::string_view carried;
    std::string_view rest;
    // Whether each looked-up segment is a known term (to be replaced, or kept
    // as one of the wanted column).
    bool prefixKnown = false;
    bool restKnown = false;
    // The counterpart that the code page cannot hold, when that is the outcome.
    std::u16string notWritable;
};

// The default coordinate system's names: the English one (ASCII, the same in
// every code page), the Chinese one as text, and the Chinese one's code page
// 936 form, which is how earlier versions wrote it in every code page.
inline constexpr std::string_view kDefaultCsysEnglish = "Default CSYS";
inline constexpr std::u16string_view kDefaultCsysChineseText = u"\u9ED8\u8BA4CSYS";
inline constexpr std::string_view kDefaultCsysChinese936 = "\xC4\xAC\xC8\xCF" "CSYS";

NameTranslation analyseName(std::string_view name, const NamingRule& rule);
std::string translateName(std::string_view name, const NamingRule& rule);

// The naming rule for many names in a row, as a pass over a history applies
// it: the code pages are found once, and the buffer that terms are converted
// in is kept from name to name. Gives what analyseName and translateName give.
class NameTranslator {
public:
    explicit NameTranslator(const NamingRule& rule) : rule_(rule) {}
    NameTranslation analyse(std::string_view name);
    std::string translate(std::string_view name) { return analyse(name).name; }

private:
    enum class Segment { Unknown, Replaced, Kept };
    NameOutcome translateSegments(std::string_view name, NameTranslation& result);
    Segment appendSegment(std::string_view segment, NameTranslation& result);
    // Whether `name` is one of the coordinate system's names; if so, analyses it.
    bool analyseCoordinateSystem(std::string_view name, NameTranslation& result);
    // The Chinese coordinate-system name in the system's code page, or
    // nullopt where the code page cannot hold it; found on first need.
    const std::optional<std::string>& chineseCsys();

    const NamingRule rule_;
    const CodePageConverter converter_;
    // Where a term is converted to be looked up: room for any term of a name
    // that fits the host's 128-byte name buffer, and a string for longer ones.
    std::array<char16_t, 128> termRoom_;
    std::u16string longTerm_;
    std::optional<std::optional<std::string>> chineseCsys_;
};
