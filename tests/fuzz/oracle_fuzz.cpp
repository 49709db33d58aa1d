// libFuzzer target for the embedded client's NUMBER and DATE code on its
// own: texts, format models, places, counts of days and months, all from
// the input; any sanitizer report (an overflow included) is a finding.
#include <cstdint>
#include <cstring>
#include <string>

#include "src/oracle/date.h"
#include "src/oracle/number.h"

namespace {

using namespace zec::oracle;

struct Input {
  const uint8_t *data;
  size_t size;
  size_t at = 0;
  uint8_t byte() { return at < size ? data[at++] : 0; }
  int32_t i32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | byte();
    return static_cast<int32_t>(v);
  }
  std::string text() {
    size_t n = byte() % 48;
    std::string s;
    while (s.size() < n && at < size) s += static_cast<char>(byte());
    return s;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in{data, size};
  Number a, b, r;
  from_plain(in.text(), &a);
  from_plain(in.text(), &b);
  std::string out, parameter;
  switch (in.byte() % 8) {
    case 0: round(a, in.i32(), &r); trunc(b, in.i32(), &r); break;
    case 1: add(a, b, &r); subtract(a, b, &r); multiply(a, b, &r); divide(a, b, &r); break;
    case 2: int_power(a, in.i32() % 1000, &r); power(a, b, &r); log(a, b, &r); break;
    case 3: to_text(a, in.text(), in.text(), &out, &parameter); break;
    case 4: from_text(in.text(), in.text(), in.text(), &r, &parameter); break;
    case 5: {
      double d = 0;
      std::memcpy(&d, in.text().append(8, '\0').data(), sizeof d);
      from_double(d, &r);
      to_double(a, &d);
      break;
    }
    default: {
      Date d;
      d.year = static_cast<int16_t>(in.i32());
      d.month = in.byte();
      d.day = in.byte();
      d.hour = in.byte();
      d.minute = in.byte();
      d.second = in.byte();
      Date e;
      add_days(d, static_cast<long>(in.i32()), &e);
      add_months(d, static_cast<long>(in.i32()), &e);
      last_day(d, &e);
      next_day(d, in.text(), &e);
      to_text(d, in.text(), in.text(), &out);
      from_text(in.text(), in.text(), in.text(), d, &e);
      zone_to_zone(d, in.text(), in.text(), &e);
    }
  }
  to_plain(a);
  compare(a, b);
  return 0;
}
