#include "command_line.h"

#include <climits>
#include <cstring>
#include <optional>
#include <utility>

namespace cli {

namespace {

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string label_of(const Option& option) {
    if (!option.label.empty()) return option.label;
    return option.name.empty() ? std::string("-") + option.letter : option.name;
}

// Decimal digits, with a leading minus only where the range allows it.
std::optional<long long> strict_number(const std::string& text, const Option& option) {
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-' && option.low < 0;
    if (negative) at = 1;
    if (at == text.size() || text.size() - at > 19) return std::nullopt;
    long long value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') return std::nullopt;
        if (value > (LLONG_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    if (negative) value = -value;
    if (value < option.low || value > option.high) return std::nullopt;
    return value;
}

bool chosen(const Option& option, const std::string& value) {
    for (const std::string& word : option.words) {
        if (value == word) return true;
    }
    return false;
}

// "a, b or c"
std::string listed(const Option& option) {
    std::string text;
    for (std::size_t i = 0; i < option.words.size(); ++i) {
        if (i > 0) text += i + 1 == option.words.size() ? " or " : ", ";
        text += option.words[i];
    }
    return text;
}

Parsed failure(std::string error) {
    Parsed parsed;
    parsed.ok = false;
    parsed.error = std::move(error);
    return parsed;
}

// Hands a value to the option; an error message, or an empty string. The
// message quotes the argument when the value was part of it ("--scale=0"),
// else the value under the option's label.
std::string take_value(const Option& option, const std::string& value, const std::string& argument,
                       bool attached) {
    if (option.kind == Option::Kind::text && option.non_empty && value.empty()) {
        return "option " + quoted(argument) + " needs a value";
    }
    if (option.kind == Option::Kind::text) {
        option.take(value, 0);
        return {};
    }
    if (option.kind == Option::Kind::choice) {
        if (!chosen(option, value)) {
            const std::string what =
                attached ? "value in " + quoted(argument) : label_of(option) + " " + quoted(value);
            return "invalid " + what + ": expected " + listed(option);
        }
        option.take(value, 0);
        return {};
    }
    const std::optional<long long> number = strict_number(value, option);
    if (!number) {
        const std::string what =
            attached ? "value in " + quoted(argument) : label_of(option) + " " + quoted(value);
        return "invalid " + what + ": expected " + std::to_string(option.low) + ".." +
               std::to_string(option.high);
    }
    option.take(value, *number);
    return {};
}

const Option* long_option(const std::vector<Option>& options, const std::string& name) {
    for (const Option& option : options) {
        if (!option.name.empty() && option.name == name) return &option;
    }
    return nullptr;
}

const Option* letter_option(const std::vector<Option>& options, char letter) {
    for (const Option& option : options) {
        if (option.letter != 0 && option.letter == letter) return &option;
    }
    return nullptr;
}

}  // namespace

Option flag(std::string name, char letter, std::function<void()> set) {
    Option option{std::move(name), letter, Option::Kind::flag, {}, 0, 0, {}, {}};
    option.take = [set = std::move(set)](const std::string&, long long) { set(); };
    return option;
}

Option text(std::string name, char letter, std::function<void(const std::string&)> set) {
    Option option{std::move(name), letter, Option::Kind::text, {}, 0, 0, {}, {}};
    option.take = [set = std::move(set)](const std::string& value, long long) { set(value); };
    return option;
}

Option number(const options::Range& range, std::function<void(long long)> set) {
    return number(range.name, 0, {}, range.low, range.high, std::move(set));
}

Option number(std::string name, char letter, std::string label, long long low, long long high,
              std::function<void(long long)> set) {
    Option option{
        std::move(name), letter, Option::Kind::number, std::move(label), low, high, {}, {}};
    option.take = [set = std::move(set)](const std::string&, long long value) { set(value); };
    return option;
}

Option choice(const options::Choices& choices, std::function<void(const std::string&)> set) {
    Option option{choices.name, 0, Option::Kind::choice, {}, 0, 0, {}, {}};
    for (const char* word : choices.words) option.words.emplace_back(word);
    option.take = [set = std::move(set)](const std::string& value, long long) { set(value); };
    return option;
}

Option choice(std::string name, std::string label, std::vector<std::string> words,
              std::function<void(const std::string&)> set) {
    Option option{std::move(name),  0, Option::Kind::choice, std::move(label), 0, 0,
                  std::move(words), {}};
    option.take = [set = std::move(set)](const std::string& value, long long) { set(value); };
    return option;
}

Parsed parse(const std::vector<std::string>& args, const std::vector<Option>& options,
             WrongValue wording) {
    Parsed parsed;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_ended || a.size() < 2 || a[0] != '-') {
            parsed.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            options_ended = true;
            continue;
        }
        const Option* option = nullptr;
        std::optional<std::string> value;
        if (a[1] == '-') {
            const std::size_t equals = a.find('=');
            option = long_option(options, a.substr(0, equals));
            if (equals != std::string::npos) value = a.substr(equals + 1);
        } else {
            option = letter_option(options, a[1]);
            if (a.size() > 2) value = a.substr(2);
        }
        if (option == nullptr) return failure("unknown option " + quoted(a));
        if (option->kind == Option::Kind::flag) {
            if (value) return failure("option " + quoted(a) + " takes no value");
            option->take({}, 0);
            continue;
        }
        const bool attached = value.has_value() && wording == WrongValue::quote_argument;
        if (!value) {
            if (i + 1 == args.size()) return failure("option " + quoted(a) + " needs a value");
            value = args[++i];
        }
        if (std::string error = take_value(*option, *value, a, attached); !error.empty()) {
            return failure(std::move(error));
        }
    }
    return parsed;
}

int atoi_saturating(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

Parsed parse_prefixed(const std::vector<std::string>& args, std::size_t first,
                      const std::vector<Option>& options,
                      const std::function<bool(const std::string&)>& other) {
    Parsed parsed;
    std::size_t i = first;
    for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
        const std::string& a = args[i];
        const Option* matched = nullptr;
        for (const Option& option : options) {
            const std::string prefix =
                option.kind == Option::Kind::flag ? option.name : option.name + "=";
            if (!option.name.empty() && a.compare(0, prefix.size(), prefix) == 0) {
                matched = &option;
                break;
            }
        }
        if (matched == nullptr) {
            if (other && other(a)) continue;
            return failure("unknown option " + quoted(a));
        }
        if (matched->kind == Option::Kind::flag) {
            matched->take({}, 0);
            continue;
        }
        const std::string value = a.substr(matched->name.size() + 1);
        if (matched->kind == Option::Kind::text) {
            matched->take(value, 0);
            continue;
        }
        if (matched->kind == Option::Kind::choice) {
            if (!chosen(*matched, value)) {
                return failure(matched->name + "=" + value + ": expected " + listed(*matched));
            }
            matched->take(value, 0);
            continue;
        }
        const int number = atoi_saturating(value.c_str());
        // The range test takes the value as unsigned: a negative one fails.
        const bool in_range = matched->low >= 0
                                  ? number >= 0 && number >= matched->low && number <= matched->high
                                  : number >= matched->low && number <= matched->high;
        if (!in_range) {
            return failure(matched->name + "=" + value + ": expected " +
                           std::to_string(matched->low) + ".." + std::to_string(matched->high));
        }
        matched->take(value, number);
    }
    parsed.positional.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return parsed;
}

}  // namespace cli
