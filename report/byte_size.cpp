#include "report/byte_size.h"

#include "app/bounded_text.h"

bool formatByteSize(uint64_t count, int precision, char* out, size_t outSize) {
  static const char* const kUnits[] = {" bytes", " KB", " MB", " GB", " TB", " PB"};
  const int lastUnit = static_cast<int>(sizeof kUnits / sizeof kUnits[0]) - 1;
  double value = static_cast<double>(count);
  int unit = 0;
  while (value > 1000 && unit < lastUnit) {
    value *= 0.0009765625;
    ++unit;
  }
  if (precision < 0)
    precision = 0;
  return formatText(out, outSize, "%.*f%s", precision, value, kUnits[unit]);
}
