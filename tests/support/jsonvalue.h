#pragma once
// A small strict JSON reader for the tests: one value per text, objects kept
// in key order, numbers as doubles read with "." whatever the locale.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TJson {
    enum TKind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<TJson> items;
    std::map<std::string, TJson> members;

    // The member `key` of an object; a null value when there is none.
    const TJson& operator[](const std::string& key) const;
    bool Has(const std::string& key) const { return members.count(key) != 0; }
};

// Parses one JSON value taking the whole text (blanks around it allowed);
// nullopt for anything that is not JSON.
std::optional<TJson> ParseJson(const std::string& text);

// Each non-empty line of `text` as one JSON value; nullopt when any line is
// not one.
std::optional<std::vector<TJson>> ParseJsonLines(const std::string& text);
