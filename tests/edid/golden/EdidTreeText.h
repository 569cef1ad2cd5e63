#pragma once
// The text form of an EDID image for the golden tests: the messages of
// loading it and its whole entry tree, one line each. The golden test and
// the dump program that writes the expected texts both use these functions.

#include "edid/ECPrimary.h"

#include <QString>

#include <string>
#include <vector>

namespace edid_golden {

// The entry tree of a collection, one line per entry in tree order:
//   <name>/<name>/... = <display value>
// Names are the entries' captions from the block root down (the collection
// root itself is left out); entries that are not shown in the tree (event
// only) are left out with their subtrees. Groups have no " = value" unless
// their value is more than the list of their children's values. Values are
// the texts the editor shows, with "\" and control characters escaped so
// that every entry stays on one line. UTF-8, "\n" line ends.
std::string TreeText(const ECCollection& collection);

// A headless library instance that records every host message it is sent.
class Instance {
public:
    Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void Load(const QString& fileName) { primary_.LoadFile(fileName); }
    void Save(const QString& fileName) { primary_.SaveFile(fileName); }
    // The blocks of the collection, in order.
    std::vector<uint8_t> Image() const;
    const ECCollection& Collection() const { return *primary_.Collection(); }
    // The host messages so far, one "<kind in hex>: <text>" line each.
    const std::string& Messages() const { return messages_; }

private:
    ECPrimary primary_{ECPrimary::Headless{}};
    std::string messages_;
};

// The bytes that loading changed (the codecs' own normalisation), against the
// blocks as they were added: per block with changes one line
//   Changed on load: block <index> <offset>:<old>><new> ...
// (offsets decimal, bytes hexadecimal).
std::string LoadChanges(const ECCollection& collection);

// The golden text of a loaded instance: its messages, each line as
// "Message <code>.<kind>: <text>" (hexadecimal), its load changes, then its
// tree text.
std::string GoldenText(const Instance& instance);

}  // namespace edid_golden
