// People's names for generated mailboxes (benchmarks, screenshots): ten first and ten last
// names, some with Windows-1252 letters, so that the filter and the code pages have
// something to fold.
#pragma once

#include <cstddef>
#include <string>

namespace dbxw {

// "First Last" from the two lists, each index taken modulo ten.
inline std::string SampleName(std::size_t first, std::size_t last) {
    static const char* const kFirst[] = {"Ann",   "Bob",  "Ren\xE9", "J\xFCrgen", "Fran\xE7oise",
                                         "Carol", "Dana", "Jo\xEBl", "Zo\xEB",    "Erik"};
    static const char* const kLast[] = {"Martin",
                                        "Stone",
                                        "Lef\xE8vre",
                                        "Wei\xDF",
                                        "Nguyen",
                                        "Whitfield",
                                        "Plumber",
                                        "\xC5kesson",
                                        "M\xFCller",
                                        "Garc\xED"
                                        "a"};
    return std::string(kFirst[first % 10]) + " " + kLast[last % 10];
}

}  // namespace dbxw
