#include "analysis/thread_links.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "platform/text.h"

namespace {

// The two highest rows of a set of entries (-1 where there are fewer): enough to name
// the highest row other than any one given row.
struct TopRows {
    std::int32_t first = -1;
    std::int32_t second = -1;

    void Add(std::int32_t row) {
        if (row > first) {
            second = first;
            first = row;
        } else if (row > second && row != first) {
            second = row;
        }
    }
    [[nodiscard]] std::int32_t Excluding(std::int32_t row) const {
        return first != row ? first : second;
    }
};

// CMessageIdAutomaton: an Aho-Corasick automaton over the distinct message identifiers of
// a list, its nodes numbered breadth first with each node's children side by side, and
// each node knowing the two highest rows whose identifier ends there or at one of its
// suffixes, so one pass over a text finds the text's parent. Texts that are exactly one
// identifier, the usual case, are answered from a hash table without any pass.
class CMessageIdAutomaton {
public:
    explicit CMessageIdAutomaton(const CEmailArray& emails);

    // The highest row other than `self` whose identifier occurs in the text; -1 for none.
    [[nodiscard]] std::int32_t FindLastContained(std::string_view text, std::int32_t self) const;

private:
    static constexpr std::uint32_t kRoot = 0;
    static constexpr std::uint32_t kNoNode = 0;  // the root is never anyone's child

    struct Node {
        std::uint32_t childBegin = 0;
        std::uint32_t fail = kRoot;
        // The identifier (index into m_Rows) ending here or, failing that, at the longest
        // suffix that is an identifier; -1 for none.
        std::int32_t output = -1;
        std::uint16_t childCount = 0;
        unsigned char label = 0;
    };

    [[nodiscard]] std::uint32_t Child(std::uint32_t node, unsigned char label) const;
    [[nodiscard]] std::string_view Identifier(std::uint32_t k) const {
        return std::string_view(m_Bytes).substr(m_Offsets[k], m_Offsets[k + 1] - m_Offsets[k]);
    }
    // The identifier equal to the text; -1 for none.
    [[nodiscard]] std::int32_t FindExact(std::string_view text) const;
    // Reading the identifiers level by level walks m_Bytes in order.
    void BuildTrie();
    void BuildLinks();
    void BuildExactTable();

    // The distinct identifiers end to end in sorted order, k from m_Offsets[k] to
    // m_Offsets[k + 1].
    std::string m_Bytes;
    std::vector<std::uint32_t> m_Offsets{0};
    std::vector<Node> m_Nodes;
    std::vector<TopRows> m_Rows;             // per identifier, merged along its suffixes
    std::vector<TopRows> m_Inside;           // per identifier, every identifier found within it
    std::vector<std::int32_t> m_ExactSlots;  // open addressing over identifier numbers
    std::array<std::uint32_t, 256> m_RootChild{};
};

CMessageIdAutomaton::CMessageIdAutomaton(const CEmailArray& emails) {
    // Copied into one buffer first: sorting then compares bytes that lie together instead
    // of chasing every entry's own string.
    struct Id {
        std::uint32_t offset;
        std::uint32_t length;
        std::int32_t row;
    };
    std::string pool;
    std::vector<Id> all;
    const std::int32_t count = emails.GetCount();
    all.reserve(std::size_t(count));
    for (std::int32_t row = 0; row < count; ++row) {
        const CEmailDBX* entry = emails.Get(row);
        if (entry == nullptr) {
            continue;
        }
        const std::string_view id = CutAtZero(entry->m_MessageId);
        if (!id.empty()) {
            all.push_back({std::uint32_t(pool.size()), std::uint32_t(id.size()), row});
            pool += id;
        }
    }
    const auto text = [&pool](const Id& id) {
        return std::string_view(pool).substr(id.offset, id.length);
    };
    std::sort(all.begin(), all.end(), [&text](const Id& a, const Id& b) {
        const int order = text(a).compare(text(b));
        return order != 0 ? order < 0 : a.row < b.row;
    });
    m_Bytes.reserve(pool.size());
    std::string_view last;
    for (const Id& id : all) {
        const std::string_view t = text(id);
        if (m_Rows.empty() || last != t) {
            m_Bytes += t;
            m_Offsets.push_back(std::uint32_t(m_Bytes.size()));
            m_Rows.emplace_back();
            last = t;
        }
        m_Rows.back().Add(id.row);
    }
    all = {};
    pool = {};
    BuildTrie();
    BuildLinks();
    BuildExactTable();
}

void CMessageIdAutomaton::BuildTrie() {
    const auto length = [this](std::uint32_t k) { return m_Offsets[k + 1] - m_Offsets[k]; };
    const auto byteAt = [this](std::uint32_t k, std::uint32_t depth) {
        return static_cast<unsigned char>(m_Bytes[m_Offsets[k] + depth]);
    };
    // The sorted identifiers sharing a node's prefix form one range; splitting the range
    // by the next byte gives the node's children in byte order.
    struct Pending {
        std::uint32_t begin;
        std::uint32_t end;
        std::uint32_t depth;
    };
    // One level at a time: the nodes of a level are numbered in the order their ranges
    // are listed, which is the order their parents were.
    std::vector<Pending> level{{0, std::uint32_t(m_Offsets.size() - 1), 0}};
    std::vector<Pending> next;
    m_Nodes.reserve(m_Bytes.size() + 1);
    m_Nodes.emplace_back();
    std::uint32_t node = 0;
    while (!level.empty()) {
        for (const Pending& range : level) {
            const auto childBegin = std::uint32_t(m_Nodes.size());
            std::uint32_t k = range.begin;
            if (k < range.end && length(k) == range.depth) {
                m_Nodes[node].output = std::int32_t(k);  // the identifiers are distinct
                ++k;
            }
            while (k < range.end) {
                const unsigned char label = byteAt(k, range.depth);
                std::uint32_t j = k + 1;
                while (j < range.end && byteAt(j, range.depth) == label) {
                    ++j;
                }
                Node child;
                child.label = label;
                m_Nodes.push_back(child);
                next.push_back({k, j, range.depth + 1});
                k = j;
            }
            m_Nodes[node].childBegin = childBegin;
            m_Nodes[node].childCount = std::uint16_t(m_Nodes.size() - childBegin);
            ++node;
        }
        level.swap(next);
        next.clear();
    }
    const Node& root = m_Nodes[kRoot];
    for (std::uint32_t c = root.childBegin; c < root.childBegin + root.childCount; ++c) {
        m_RootChild[m_Nodes[c].label] = c;
    }
}

void CMessageIdAutomaton::BuildLinks() {
    // Breadth-first order means a node's failure target, being shallower, is complete
    // before the node is looked at.
    const auto nodes = std::uint32_t(m_Nodes.size());
    // The identifiers met along each node's path from the root: at an identifier's own
    // node, all the identifiers inside it.
    std::vector<TopRows> onPath(m_Nodes.size());
    m_Inside.resize(m_Rows.size());
    for (std::uint32_t parent = 0; parent < nodes; ++parent) {
        const std::uint32_t begin = m_Nodes[parent].childBegin;
        const std::uint32_t end = begin + m_Nodes[parent].childCount;
        for (std::uint32_t node = begin; node < end; ++node) {
            std::uint32_t fail = kRoot;
            if (parent != kRoot) {
                const unsigned char label = m_Nodes[node].label;
                for (std::uint32_t f = m_Nodes[parent].fail;; f = m_Nodes[f].fail) {
                    const std::uint32_t next = Child(f, label);
                    if (next != kNoNode) {
                        fail = next;
                        break;
                    }
                    if (f == kRoot) {
                        break;
                    }
                }
            }
            Node& n = m_Nodes[node];
            n.fail = fail;
            const std::int32_t own = n.output;
            const std::int32_t inherited = m_Nodes[fail].output;
            if (own < 0) {
                n.output = inherited;
            } else if (inherited >= 0) {
                // Rows of different identifiers never overlap.
                const TopRows suffix = m_Rows[std::size_t(inherited)];
                m_Rows[std::size_t(own)].Add(suffix.first);
                m_Rows[std::size_t(own)].Add(suffix.second);
            }
            TopRows path = onPath[parent];
            if (n.output >= 0) {
                path.Add(m_Rows[std::size_t(n.output)].first);
                path.Add(m_Rows[std::size_t(n.output)].second);
            }
            onPath[node] = path;
            if (own >= 0) {
                m_Inside[std::size_t(own)] = path;
            }
        }
    }
}

void CMessageIdAutomaton::BuildExactTable() {
    std::size_t size = 16;
    while (size < m_Rows.size() * 2) {
        size *= 2;
    }
    m_ExactSlots.assign(size, -1);
    for (std::uint32_t k = 0; k < m_Rows.size(); ++k) {
        std::size_t slot = std::hash<std::string_view>{}(Identifier(k)) & (size - 1);
        while (m_ExactSlots[slot] >= 0) {
            slot = (slot + 1) & (size - 1);
        }
        m_ExactSlots[slot] = std::int32_t(k);
    }
}

std::int32_t CMessageIdAutomaton::FindExact(std::string_view text) const {
    const std::size_t mask = m_ExactSlots.size() - 1;
    for (std::size_t slot = std::hash<std::string_view>{}(text)&mask;; slot = (slot + 1) & mask) {
        const std::int32_t k = m_ExactSlots[slot];
        if (k < 0 || Identifier(std::uint32_t(k)) == text) {
            return k;
        }
    }
}

std::uint32_t CMessageIdAutomaton::Child(std::uint32_t node, unsigned char label) const {
    if (node == kRoot) {
        return m_RootChild[label];
    }
    const Node& n = m_Nodes[node];
    std::uint32_t low = n.childBegin;
    std::uint32_t high = n.childBegin + n.childCount;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (m_Nodes[middle].label < label) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < n.childBegin + n.childCount && m_Nodes[low].label == label ? low : kNoNode;
}

std::int32_t CMessageIdAutomaton::FindLastContained(std::string_view text,
                                                    std::int32_t self) const {
    if (const std::int32_t k = FindExact(text); k >= 0) {
        return m_Inside[std::size_t(k)].Excluding(self);
    }
    std::int32_t best = -1;
    std::uint32_t node = kRoot;
    for (const char c : text) {
        const unsigned char label = static_cast<unsigned char>(c);
        for (;;) {
            const std::uint32_t next = Child(node, label);
            if (next != kNoNode) {
                node = next;
                break;
            }
            if (node == kRoot) {
                break;
            }
            node = m_Nodes[node].fail;
        }
        const std::int32_t output = m_Nodes[node].output;
        if (output >= 0) {
            best = std::max(best, m_Rows[std::size_t(output)].Excluding(self));
        }
    }
    return best;
}

}  // namespace

std::vector<std::int32_t> FindThreadParents(const CEmailArray& emails) {
    const std::int32_t count = emails.GetCount();
    std::vector<std::int32_t> parents(std::size_t(std::max(count, 0)), -1);
    const CMessageIdAutomaton automaton(emails);
    for (std::int32_t row = 0; row < count; ++row) {
        const CEmailDBX* entry = emails.Get(row);
        if (entry == nullptr) {
            continue;
        }
        const std::string_view inReplyTo = CutAtZero(entry->m_InReplyTo);
        if (!inReplyTo.empty()) {
            parents[std::size_t(row)] = automaton.FindLastContained(inReplyTo, row);
        }
    }
    return parents;
}
