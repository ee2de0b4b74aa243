// District codes, their names and the station-to-district lookup.
#include "vorbel/Districts.h"

#include <cstring>
#include <span>

#include "vorbel/Stations.h"

namespace {

struct NamePair {
    const char* kanji;  // UTF-8
    const char* romaji;
};

constexpr NamePair Hokkaido[] = {
    {"宗谷", "Soya"},     {"上川", "Kamikawa"}, {"留萌", "Rumoi"},  {"石狩", "Ishikari"}, {"空知", "Sorachi"},
    {"後志", "Shiribeshi"}, {"網走", "Abashiri"}, {"根室", "Nemuro"}, {"釧路", "Kushiro"},  {"十勝", "Tokachi"},
    {"胆振", "Iburi"},    {"日高", "Hidaka"},   {"渡島", "Oshima"}, {"桧山", "Hiyama"},
};
constexpr NamePair Tohoku[] = {
    {"青森", "Aomori"}, {"秋田", "Akita"},    {"岩手", "Iwate"},
    {"宮城", "Miyagi"}, {"山形", "Yamagata"}, {"福島", "Fukushima"},
};
constexpr NamePair Kanto[] = {
    {"茨城", "Ibaragi"}, {"栃木", "Tochigi"}, {"群馬", "Gumma"},      {"埼玉", "Saitama"},
    {"東京", "Tokyo"},   {"千葉", "Chiba"},   {"神奈川", "Kanagawa"},
};
constexpr NamePair Chubu[] = {
    {"長野", "Nagano"}, {"山梨", "Yamanashi"}, {"静岡", "Shizuoka"}, {"愛知", "Aichi"}, {"岐阜", "Gifu"},
    {"新潟", "Niigata"}, {"富山", "Toyama"},   {"石川", "Ishikawa"}, {"福井", "Fukui"},
};
constexpr NamePair Kinki[] = {
    {"三重", "Mie"},   {"滋賀", "Siga"}, {"京都", "Kyoto"},       {"大阪", "Osaka"},
    {"兵庫", "Hyogo"}, {"奈良", "Nara"}, {"和歌山", "Wakayama"},
};
constexpr NamePair ChugokuShikoku[] = {
    {"岡山", "Okayama"},   {"広島", "Hiroshima"}, {"鳥取", "Tottori"}, {"島根", "Shimane"}, {"山口", "Yamaguchi"},
    {"徳島", "Tokushima"}, {"香川", "Kagawa"},    {"愛媛", "Ehime"},   {"高知", "Kouchi"},
};
constexpr NamePair KyushuOkinawa[] = {
    {"福岡", "Fukuoka"},  {"大分", "Oita"},     {"長崎", "Nagasaki"},  {"佐賀", "Saga"},
    {"熊本", "Kumamoto"}, {"宮崎", "Miyazaki"}, {"鹿児島", "Kagoshima"}, {"沖縄", "Okinawa"},
};

struct Region {
    const char* english;
    const char* japanese;  // UTF-8
    std::span<const NamePair> districts;
};

constexpr Region Regions[RegionCount] = {
    {"Hokkaido", "北海道", Hokkaido},           {"Tohoku", "東北", Tohoku},
    {"Kanto", "関東", Kanto},                   {"Chubu", "中部", Chubu},
    {"Kinki", "近畿", Kinki},                   {"Chugoku/Shikoku", "中国・四国", ChugokuShikoku},
    {"Kyushu/Okinawa", "九州・沖縄", KyushuOkinawa},
};

// The station table's prefecture text (code page 932) of every district, in
// code order.
struct Prefecture {
    std::int16_t code;
    const char* belong;
};

constexpr Prefecture Prefectures[] = {
    {1001, "\226k\212C\223\271\217@\222J\216x\222\241"},          // 北海道宗谷支庁
    {1002, "\226k\212C\223\271\217\343\220\354\216x\222\241"},    // 北海道上川支庁
    {1003, "\226k\212C\223\271\227\257\226G\216x\222\241"},       // 北海道留萌支庁
    {1004, "\226k\212C\223\271\220\316\216\353\216x\222\241"},    // 北海道石狩支庁
    {1005, "\226k\212C\223\271\213\363\222m\216x\222\241"},       // 北海道空知支庁
    {1006, "\226k\212C\223\271\214\343\216u\216x\222\241"},       // 北海道後志支庁
    {1007, "\226k\212C\223\271\226\324\221\226\216x\222\241"},    // 北海道網走支庁
    {1008, "\226k\212C\223\271\215\252\216\272\216x\222\241"},    // 北海道根室支庁
    {1009, "\226k\212C\223\271\213\372\230H\216x\222\241"},       // 北海道釧路支庁
    {1010, "\226k\212C\223\271\217\134\217\237\216x\222\241"},    // 北海道十勝支庁
    {1011, "\226k\212C\223\271\222_\220U\216x\222\241"},          // 北海道胆振支庁
    {1012, "\226k\212C\223\271\223\372\215\202\216x\222\241"},    // 北海道日高支庁
    {1013, "\226k\212C\223\271\223n\223\207\216x\222\241"},       // 北海道渡島支庁
    {1014, "\226k\212C\223\271\225O\216R\216x\222\241"},          // 北海道桧山支庁
    {2001, "\220\302\220X\214\247"},                              // 青森県
    {2002, "\217H\223c\214\247"},                                 // 秋田県
    {2003, "\212\342\216\350\214\247"},                           // 岩手県
    {2004, "\213{\217\351\214\247"},                              // 宮城県
    {2005, "\216R\214`\214\247"},                                 // 山形県
    {2006, "\225\237\223\207\214\247"},                           // 福島県
    {3001, "\210\357\217\351\214\247"},                           // 茨城県
    {3002, "\223\310\226\330\214\247"},                           // 栃木県
    {3003, "\214Q\224n\214\247"},                                 // 群馬県
    {3004, "\215\351\213\312\214\247"},                           // 埼玉県
    {3005, "\223\214\213\236\223s"},                              // 東京都
    {3006, "\220\347\227t\214\247"},                              // 千葉県
    {3007, "\220_\223\336\220\354\214\247"},                      // 神奈川県
    {4001, "\222\267\226\354\214\247"},                           // 長野県
    {4002, "\216R\227\234\214\247"},                              // 山梨県
    {4003, "\220\303\211\252\214\247"},                           // 静岡県
    {4004, "\210\244\222m\214\247"},                              // 愛知県
    {4005, "\212\362\225\214\214\247"},                           // 岐阜県
    {4006, "\220V\212\203\214\247"},                              // 新潟県
    {4007, "\225x\216R\214\247"},                                 // 富山県
    {4008, "\220\316\220\354\214\247"},                           // 石川県
    {4009, "\225\237\210\344\214\247"},                           // 福井県
    {5001, "\216O\217d\214\247"},                                 // 三重県
    {5002, "\216\240\211\352\214\247"},                           // 滋賀県
    {5003, "\213\236\223s\225{"},                                 // 京都府
    {5004, "\221\345\215\343\225{"},                              // 大阪府
    {5005, "\225\272\214\311\214\247"},                           // 兵庫県
    {5006, "\223\336\227\307\214\247"},                           // 奈良県
    {5007, "\230a\211\314\216R\214\247"},                         // 和歌山県
    {6001, "\211\252\216R\214\247"},                              // 岡山県
    {6002, "\215L\223\207\214\247"},                              // 広島県
    {6003, "\222\271\216\346\214\247"},                           // 鳥取県
    {6004, "\223\207\215\252\214\247"},                           // 島根県
    {6005, "\216R\214\373\214\247"},                              // 山口県
    {6006, "\223\277\223\207\214\247"},                           // 徳島県
    {6007, "\215\201\220\354\214\247"},                           // 香川県
    {6008, "\210\244\225Q\214\247"},                              // 愛媛県
    {6009, "\215\202\222m\214\247"},                              // 高知県
    {7001, "\225\237\211\252\214\247"},                           // 福岡県
    {7002, "\221\345\225\252\214\247"},                           // 大分県
    {7003, "\222\267\215\350\214\247"},                           // 長崎県
    {7004, "\215\262\211\352\214\247"},                           // 佐賀県
    {7005, "\214F\226{\214\247"},                                 // 熊本県
    {7006, "\213{\215\350\214\247"},                              // 宮崎県
    {7007, "\216\255\216\231\223\207\214\247"},                   // 鹿児島県
    {7008, "\211\253\223\352\214\247"},                           // 沖縄県
};

const Region* RegionByCode(std::int16_t region) {
    if (region < 1000 || region > 7000 || region % 1000 != 0) return nullptr;
    return &Regions[region / 1000 - 1];
}

}  // namespace

std::int16_t RegionOfDistrict(std::int16_t district) {
    // The last code of each region, from the highest down.
    constexpr std::int16_t lastCodes[] = {6009, 5007, 4009, 3007, 2006, 1014};
    std::int16_t region = 7000;
    for (std::int16_t last : lastCodes) {
        if (district > last) return region;
        region -= 1000;
    }
    return 1000;
}

bool IsDistrictCode(std::int16_t code) {
    const ::Region* r = RegionByCode(RegionOfDistrict(code));
    int item = code - RegionOfDistrict(code) - 1;
    return item >= 0 && item < static_cast<int>(r->districts.size());
}

const char* RegionName(int item, bool english) {
    if (item < 0 || item >= RegionCount) return "";
    return english ? Regions[item].english : Regions[item].japanese;
}

TPrefItems::TPrefItems(std::int16_t region, std::uint8_t language) : Region(region), Language(language) {
    const ::Region* r = RegionByCode(region);
    if (!r) return;
    NameCount = static_cast<int>(r->districts.size());
    names_.reserve(r->districts.size());
    for (const NamePair& pair : r->districts) names_.emplace_back(language ? pair.romaji : pair.kanji);
}

extern "C" std::int16_t Which_Pref(int id) {
    id = id < 1 ? 1 : id > AMeDASCount ? AMeDASCount : id;
    const char* belong = _AMeDASItems[id - 1].Belong;
    for (const Prefecture& p : Prefectures)
        if (std::strcmp(p.belong, belong) == 0) return p.code;
    return DefaultDistrict;
}
