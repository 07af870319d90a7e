#pragma once

// Reads the simulated register's paper roll for the soak's job markers: on
// which documents each job's marker was printed, and whether a marker ever
// shows up twice.

#include "simulators/register/PaperRoll.h"

#include <cstddef>
#include <map>
#include <vector>

namespace tavor1::soak {

// Where one job's marker stands on the roll.
struct MarkerCount {
    int total = 0;     // lines carrying it, on any document
    int completed = 0; // on a numbered fiscal receipt or a finished non-fiscal document
    int open = 0;      // on a document still open on the register
    // The number of the fiscal receipt it was printed on (the last one), 0 for none.
    int receiptNumber = 0;
};

class RollAudit {
public:
    // Takes the documents from `from` on (the roll only ever grows, and the
    // documents before `from` were finished when it was last read).
    void take(const std::vector<regsim::PrintedDocument>& documents, std::size_t from);

    MarkerCount count(int job) const;
    // Jobs whose marker appears on more than one line of the roll.
    std::vector<int> duplicated() const;
    // Jobs whose marker is on more than one completed document: a document
    // cancelled unfinished and then printed whole counts once.
    std::vector<int> printedMoreThanOnce() const;

private:
    std::map<int, MarkerCount> m_counts;
};

// True for a document that counts as printed: a fiscal receipt with its
// number, or a non-fiscal document that was closed.
bool isCompletedDocument(const regsim::PrintedDocument& document);

} // namespace tavor1::soak
