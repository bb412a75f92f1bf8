#pragma once
// The summary file: one CSV row per input with its results and the run's
// settings, for work on a corpus of recordings.

#include <string>
#include <vector>

#include "analysis/analyzefile.h"
#include "cli/options.h"

// The whole file: a header row, then one row per report in input order.
// Fields are separated by "," and rows end in CR LF; a field holding a comma,
// a quote, CR or LF is quoted with its quotes doubled. Numbers are the
// shortest texts that read back as the same double, with "."; absent values
// are empty fields; warnings are joined by "; ", their codes (last column) by
// spaces.
std::string SummaryCsv(const TCliOptions& options, const std::vector<TFileReport>& reports);

// One CSV field as above.
std::string CsvField(const std::string& text);

// The file-name field: as CsvField, except that a name starting with "=",
// "+", "-" or "@", which a spreadsheet would run as a formula, is always
// quoted and has "'" put before it inside the quotes.
std::string CsvNameField(const std::string& name);
