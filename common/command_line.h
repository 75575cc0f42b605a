// One command-line parser for the C++ programs, so that an option that
// means the same takes the same values everywhere (option_ranges.h).
//
// Two syntaxes over one table of options:
//   parse()          GNU style: --name=VALUE, --name VALUE, -x VALUE, -xVALUE,
//                    flags, "--" ends the options; numbers are decimal digits
//                    (a leading minus where the range goes below 0), whole.
//   parse_prefixed() the encoder's own: an argument is an option when it
//                    starts with '-', until the first that does not; an
//                    option is recognised by its "--name=" prefix (a flag by
//                    its name alone as a prefix), its number read as C's atoi
//                    reads it (no digits give 0), out of range as an unsigned
//                    number when negative.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "option_ranges.h"

namespace cli {

struct Option {
    enum class Kind { flag, text, number, choice };

    std::string name;  // "--mode"; empty for a letter alone
    char letter = 0;   // 'o' for -o; 0 for none
    Kind kind = Kind::flag;
    // What a number is called in messages ("start frame"; default: the name).
    std::string label;
    long long low = 0;  // a number's range
    long long high = 0;
    std::vector<std::string> words;  // a choice's words
    std::function<void(const std::string& text, long long number)> take;
    bool non_empty = false;  // a text that may not be empty
};

Option flag(std::string name, char letter, std::function<void()> set);
Option text(std::string name, char letter, std::function<void(const std::string&)> set);
// A number in `range`, under the range's name.
Option number(const options::Range& range, std::function<void(long long)> set);
// A number under another name (and label).
Option number(std::string name, char letter, std::string label, long long low, long long high,
              std::function<void(long long)> set);
// One word of `choices`; `set` gets the word.
Option choice(const options::Choices& choices, std::function<void(const std::string&)> set);
// One of `words`, under another name (and label), the words listed in
// messages in their order.
Option choice(std::string name, std::string label, std::vector<std::string> words,
              std::function<void(const std::string&)> set);

struct Parsed {
    bool ok = true;
    std::string error;  // what was wrong, naming the argument, when !ok
    std::vector<std::string> positional;
};

// How parse() words a wrong value written into its option ("--jobs=0"):
// quoting the whole argument ("invalid value in '--jobs=0': ..."), or by
// the option's label as for a value given apart ("invalid jobs '0': ...").
enum class WrongValue { quote_argument, by_label };

// GNU style, over `args` (the program's name not included).
Parsed parse(const std::vector<std::string>& args, const std::vector<Option>& options,
             WrongValue wording = WrongValue::quote_argument);

// The encoder's syntax, over args[first..]: the options up to the first
// argument that does not start with '-'; `other` is offered every option no
// entry matches (true: taken). The rest of the arguments are positional.
Parsed parse_prefixed(const std::vector<std::string>& args, std::size_t first,
                      const std::vector<Option>& options,
                      const std::function<bool(const std::string&)>& other = {});

// C's atoi without its undefined overflow: leading blanks, an optional sign,
// then digits; stops at the first non-digit; no digits give 0; values beyond
// the int range saturate.
int atoi_saturating(const char* text);

}  // namespace cli
