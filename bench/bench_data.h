// Inputs shared by the benchmarks: dictionary terms made up by number (no
// digits and no '_' in any code page, so that every name built from them
// fits the naming rule), the mix of history names the benchmarks translate,
// and dictionary workbooks written as Excel writes them, cached on disk.
#pragma once

#include "term_dictionary.h"

#include <string>
#include <vector>

// How a benchmark's names and terms are written: English against Chinese
// (code page 936) or English against a Western language (code page 1252).
enum class Setting { Chinese, Western };

// The locale whose code page the setting's names are in; aborts when it is missing.
void switchLocale(Setting setting);

std::u16string englishTerm(int index);
// The counterpart of englishTerm(index) in the setting's language.
std::u16string counterpartTerm(int index, Setting setting);

// A dictionary of the first `pairs` terms and their counterparts.
TermDictionary makeDictionary(int pairs, Setting setting);

// `count` history names in the current locale's code page, as a part's
// history mixes them: 40% one-term ("Extrude12"), 35% two-term
// ("Extrude12_Sketch"), 20% that stay unchanged (unknown terms, no digit)
// and 5% default coordinate systems; half in English, half in the
// counterpart language, terms drawn from the first `pairs`.
std::vector<std::string> makeNames(int count, int pairs, Setting setting);

// The path of a dictionary workbook of `pairs` pair rows between the
// markers, written with libxlsxwriter (shared strings, as Excel writes
// them) on first use and kept under the build's bench-data folder.
std::string dictionaryWorkbook(int pairs);
// The same with terms that are longer and all unique, half of them Chinese:
// "Term12345Alpha" against "术语12345甲" (dictionary-unique-PAIRS.xlsx).
std::string uniqueTermsWorkbook(int pairs);
