// The last pass of the extended search for DataBar: a second look at what
// the lines so far left half read. Lines that showed a symbol's finders and
// read nothing are read again, sampled more finely; then the rows of stacked
// symbols read so far are joined, and where a row has no partner yet, lines
// of its own beside it look for the rows missing (the candidate pass reads
// lines ten pixels apart, and a row of Stacked is five modules high).
#pragma once

namespace zeph::extended {
struct Run;
}

namespace zeph::databar {

// The symbols read and joined go to the run's ledger. -1 when memory runs out.
int SecondLook(extended::Run& run);

}  // namespace zeph::databar
