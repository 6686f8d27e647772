// The small report behind tools/velorin-report/sample-body.txt: a few
// sections in the layout of the program's system report, so an operator can
// try the tool on a body built by the program's own body code.
#pragma once

#include <string>

std::string sampleReportText();
