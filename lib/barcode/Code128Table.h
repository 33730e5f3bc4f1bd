#pragma once
// The Code 128 symbol characters that Code128.cpp and Ean128.cpp share: the
// bar and space pattern of every symbol value, and the code set B
// characters with this library's German letters. Internal to the library.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace calverdon::barcode::code128 {

// Patterns of the symbol values 0 to 106: the widths in modules of bar,
// space, bar, space, bar, space (the stop adds its termination bar).
// Checked against the symbol character table of ISO/IEC 15417; the
// static_asserts below catch a mistyped row (every pattern is 11 modules
// wide with an even number of bar modules, and no two are alike), and the
// zbar tests read all of code set B back.
inline constexpr std::array<std::string_view, 107> kPatterns = {
    "212222",   //   0  space   00
    "222122",   //   1  !       01
    "222221",   //   2  "       02
    "121223",   //   3  #       03
    "121322",   //   4  $       04
    "131222",   //   5  %       05
    "122213",   //   6  &       06
    "122312",   //   7  '       07
    "132212",   //   8  (       08
    "221213",   //   9  )       09
    "221312",   //  10  *       10
    "231212",   //  11  +       11
    "112232",   //  12  ,       12
    "122132",   //  13  -       13
    "122231",   //  14  .       14
    "113222",   //  15  /       15
    "123122",   //  16  0       16
    "123221",   //  17  1       17
    "223211",   //  18  2       18
    "221132",   //  19  3       19
    "221231",   //  20  4       20
    "213212",   //  21  5       21
    "223112",   //  22  6       22
    "312131",   //  23  7       23
    "311222",   //  24  8       24
    "321122",   //  25  9       25
    "321221",   //  26  :       26
    "312212",   //  27  ;       27
    "322112",   //  28  <       28
    "322211",   //  29  =       29
    "212123",   //  30  >       30
    "212321",   //  31  ?       31
    "232121",   //  32  @       32
    "111323",   //  33  A       33
    "131123",   //  34  B       34
    "131321",   //  35  C       35
    "112313",   //  36  D       36
    "132113",   //  37  E       37
    "132311",   //  38  F       38
    "211313",   //  39  G       39
    "231113",   //  40  H       40
    "231311",   //  41  I       41
    "112133",   //  42  J       42
    "112331",   //  43  K       43
    "132131",   //  44  L       44
    "113123",   //  45  M       45
    "113321",   //  46  N       46
    "133121",   //  47  O       47
    "313121",   //  48  P       48
    "211331",   //  49  Q       49
    "231131",   //  50  R       50
    "213113",   //  51  S       51
    "213311",   //  52  T       52
    "213131",   //  53  U       53
    "311123",   //  54  V       54
    "311321",   //  55  W       55
    "331121",   //  56  X       56
    "312113",   //  57  Y       57
    "312311",   //  58  Z       58
    "332111",   //  59  Ä       59
    "314111",   //  60  Ö       60
    "221411",   //  61  Ü       61
    "431111",   //  62  ^       62
    "111224",   //  63  _       63
    "111422",   //  64  `       64
    "121124",   //  65  a       65
    "121421",   //  66  b       66
    "141122",   //  67  c       67
    "141221",   //  68  d       68
    "112214",   //  69  e       69
    "112412",   //  70  f       70
    "122114",   //  71  g       71
    "122411",   //  72  h       72
    "142112",   //  73  i       73
    "142211",   //  74  j       74
    "241211",   //  75  k       75
    "221114",   //  76  l       76
    "413111",   //  77  m       77
    "241112",   //  78  n       78
    "134111",   //  79  o       79
    "111242",   //  80  p       80
    "121142",   //  81  q       81
    "121241",   //  82  r       82
    "114212",   //  83  s       83
    "124112",   //  84  t       84
    "124211",   //  85  u       85
    "411212",   //  86  v       86
    "421112",   //  87  w       87
    "421211",   //  88  x       88
    "212141",   //  89  y       89
    "214121",   //  90  z       90
    "412121",   //  91  ä       91
    "111143",   //  92  ö       92
    "111341",   //  93  ü       93
    "131141",   //  94  ß       94
    "114113",   //  95  DEL     95
    "114311",   //  96  FNC3    96
    "411113",   //  97  FNC2    97
    "411311",   //  98  SHIFT   98
    "113141",   //  99  Code C  99
    "114131",   // 100  Code B  FNC4
    "311141",   // 101  Code A  FNC4
    "411131",   // 102  FNC1    FNC1
    "211412",   // 103  Start A
    "211214",   // 104  Start B
    "211232",   // 105  Start C
    "2331112",  // 106  Stop with termination bar
};

inline constexpr int kCodeC = 99;
inline constexpr int kCodeB = 100;
inline constexpr int kFnc1 = 102;
inline constexpr int kStartB = 104;
inline constexpr int kStartC = 105;
inline constexpr int kStop = 106;
// The check value is the weighted sum modulo 103.
inline constexpr int kCheckModulus = 103;
// Ends the symbol instead of the stop when AlternateEnd is set. It is no
// Code 128 pattern, and 15 modules wide where the stop is 13.
inline constexpr std::string_view kAlternateEnd = "1233213";

// The code set B character of the values 0 to 95: the byte 32 + value,
// except seven values where the German national variant of ISO 646 puts
// its letters (Windows-1252 bytes given). The standard characters there,
// [ \ ] { | } ~, cannot be encoded at all.
inline constexpr int kSetBCount = 96;
inline constexpr std::array<unsigned char, kSetBCount> kSetB = [] {
    std::array<unsigned char, kSetBCount> set{};
    for (int v = 0; v < kSetBCount; ++v) set[v] = static_cast<unsigned char>(32 + v);
    set[59] = 0xC4;  // Ä instead of [
    set[60] = 0xD6;  // Ö instead of backslash
    set[61] = 0xDC;  // Ü instead of ]
    set[91] = 0xE4;  // ä instead of {
    set[92] = 0xF6;  // ö instead of |
    set[93] = 0xFC;  // ü instead of }
    set[94] = 0xDF;  // ß instead of ~
    return set;
}();

// The value of a byte in code set B: the first value whose character it is.
constexpr std::optional<int> SetBValue(unsigned char byte) {
    for (int v = 0; v < kSetBCount; ++v) {
        if (kSetB[v] == byte) return v;
    }
    return std::nullopt;
}

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the digits from p: the first non-digit at or after p, or the
// end of the data.
constexpr std::size_t DigitRunEnd(std::string_view data, std::size_t p) {
    while (p < data.size() && IsDigit(data[p])) ++p;
    return p;
}

// The even-digit-run test: from p, the digits up to the first non-digit or
// the end are at least 4 and an even number.
constexpr bool EvenDigitRunAt(std::string_view data, std::size_t p) {
    const std::size_t n = DigitRunEnd(data, p) - p;
    return n >= 4 && n % 2 == 0;
}

// Symbol values with the running check sum: the start value counts once,
// then each further value times its place (1, 2, 3, ...). The sum is kept
// modulo 103, which gives the same check value and cannot overflow however
// long the data is.
class CheckedValues {
public:
    explicit CheckedValues(int start) : values_{start}, sum_(start % kCheckModulus) {}

    void Append(int value) {
        values_.push_back(value);
        sum_ = (sum_ + weight_ % kCheckModulus * value) % kCheckModulus;
        ++weight_;
    }

    // The values from the start to the check value.
    std::vector<int> Finish() && {
        values_.push_back(static_cast<int>(sum_));
        return std::move(values_);
    }

private:
    std::vector<int> values_;
    long long sum_;
    long long weight_ = 1;
};

namespace check {

constexpr bool IsSymbolPattern(std::string_view p, std::size_t elements, int modules) {
    if (p.size() != elements) return false;
    int total = 0;
    int bars = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] < '1' || p[i] > '4') return false;
        total += p[i] - '0';
        if (i % 2 == 0) bars += p[i] - '0';
    }
    return total == modules && bars % 2 == 0;
}

constexpr bool AllPatternsValid() {
    for (std::size_t v = 0; v < kStop; ++v) {
        if (!IsSymbolPattern(kPatterns[v], 6, 11)) return false;
        for (std::size_t w = 0; w < v; ++w) {
            if (kPatterns[w] == kPatterns[v]) return false;
        }
    }
    return IsSymbolPattern(kPatterns[kStop], 7, 13);
}

}  // namespace check

static_assert(kPatterns.size() == kStop + 1, "one pattern for each value 0 to 106");
static_assert(check::AllPatternsValid(), "a Code 128 pattern is mistyped");
static_assert(kPatterns[kCodeC] == "113141" && kPatterns[kCodeB] == "114131" && kPatterns[kFnc1] == "411131");
static_assert(kPatterns[kStartB] == "211214" && kPatterns[kStartC] == "211232");
static_assert(kAlternateEnd.size() == 7);
static_assert(SetBValue(' ') == 0 && SetBValue('0') == 16 && SetBValue('A') == 33 && SetBValue('a') == 65);
static_assert(SetBValue(0xC4) == 59 && SetBValue(0xDF) == 94 && SetBValue(0x7F) == 95);
static_assert(!SetBValue('[') && !SetBValue('~') && !SetBValue('\t') && !SetBValue(0xE9));

}  // namespace calverdon::barcode::code128
