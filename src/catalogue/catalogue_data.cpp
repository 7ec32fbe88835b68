#include "catalogue/catalogue_data.h"

#include <string>
#include <utility>

#include "buildconfig.h"

namespace volnor::catalogue::data {

namespace {

// One node of the product range as written below, its text a UTF-8 literal. A leaf carries its
// archive as "NNNN/file.zip", the part of the URL after "/f/"; a group carries its children.
struct Item {
    const char* text;
    const char* archive;
    std::vector<Item> children;
};

Item leaf(const char* text, const char* archive) { return {text, archive, {}}; }
Item group(const char* text, std::vector<Item> children) {
    return {text, nullptr, std::move(children)};
}

std::string url(const char* archive) {
    return std::string("https://") + buildconfig::kWebHost + "/f/" + archive;
}

// The product range, top to bottom as the tree shows it. To add a series, add a leaf here with
// a new archive; a download of its groups fetches it once it is listed in their rows below.
const std::vector<Item>& range() {
    static const std::vector<Item> items = {
        group(
            "Модульное оборудование на DIN-рейку",
            {
                group(
                    "Автоматические выключатели модульные",
                    {
                        group("Автоматические выключатели ВА47-29",
                              {
                                  leaf("ВА47-29 с характеристикой B (1P, 2P, 3P, 4P)",
                                       "1101/va47-29-b.zip"),
                                  leaf("ВА47-29 с характеристикой C (1P, 2P, 3P, 4P)",
                                       "1102/va47-29-c.zip"),
                                  leaf("ВА47-29 с характеристикой D (1P, 2P, 3P, 4P)",
                                       "1103/va47-29-d.zip"),
                              }),
                        group("Автоматические выключатели ВА47-60 и ВА47-63",
                              {
                                  leaf("ВА47-60 на токи от 1 до 63 А (6 кА)", "1105/va47-60.zip"),
                                  leaf("ВА47-63 на токи от 1 до 63 А (4,5 кА)", "1106/va47-63.zip"),
                              }),
                        leaf("Автоматические выключатели ВА47-100 (10 кА)", "1107/va47-100.zip"),
                        leaf("Автоматические выключатели ВА47-125 (15 кА)", "1108/va47-125.zip"),
                        leaf("Автоматические выключатели ВА-101 (4,5 кА)", "1109/va-101.zip"),
                        leaf("Автоматические выключатели ВА-201 (6 кА)", "1110/va-201.zip"),
                        leaf("Автоматические выключатели постоянного тока ВН-DC63",
                             "1111/vn-dc63.zip"),
                        leaf("Автоматические выключатели защиты двигателя АЗД-32",
                             "1112/azd-32.zip"),
                    }),
                group("Устройства защитного отключения и дифференциальные автоматы",
                      {
                          leaf("Выключатели дифференциального тока ВД1-63 (тип AC и A)",
                               "1113/vd1-63.zip"),
                          leaf("Выключатели дифференциального тока ВДТ-80 на токи до 80 А",
                               "1114/vdt-80.zip"),
                          leaf("Дифференциальные автоматы АВДТ 32 однополюсные с нейтралью",
                               "1115/avdt-32.zip"),
                          leaf("Дифференциальные автоматы АВДТ 34 четырехполюсные",
                               "1116/avdt-34.zip"),
                          leaf("Дифференциальные автоматы электронные АД12 и АД14",
                               "1117/ad12-ad14.zip"),
                      }),
                leaf("Расцепители РН47, РМ47 и РММ47 для автоматических выключателей",
                     "1118/rn47-rm47-rmm47.zip"),
                leaf("Дополнительные контакты КС47, КСВ47 и КСД47", "1119/ks47-ksv47-ksd47.zip"),
                leaf("Шины соединительные ШС-PIN, ШС-FORK и изоляторы шинные ИШ",
                     "1120/shs-pin-fork-ish.zip"),
            }),
        group(
            "Низковольтная аппаратура управления и защиты",
            {
                group(
                    "Контакторы и пускатели электромагнитные",
                    {
                        group(
                            "Контакторы малогабаритные КМИ и КМН",
                            {
                                leaf("Контакторы КМИ на токи 9, 12 и 18 А", "1201/kmi-9-18.zip"),
                                leaf("Контакторы КМИ на токи 25, 32 и 40 А", "1202/kmi-25-40.zip"),
                                leaf("Контакторы КМН реверсивные на токи 9 - 95 А",
                                     "1203/kmn-rev.zip"),
                            }),
                        group(
                            "Пускатели электромагнитные ПМЛ",
                            {
                                leaf("Пускатели ПМЛ первой и второй величины", "1204/pml-1-2.zip"),
                                leaf("Пускатели ПМЛ третьей и четвертой величины",
                                     "1205/pml-3-4.zip"),
                                leaf("Пускатели ПМЛ в оболочке со степенью защиты IP54",
                                     "1206/pml-ip54.zip"),
                            }),
                        leaf("Контакторы КТИ на токи от 115 до 800 А", "1207/kti.zip"),
                        leaf("Тепловые реле РТИ и РТЛ для контакторов и пускателей",
                             "1208/rti-rtl.zip"),
                    }),
                group("Реле промежуточные, времени и контроля",
                      {
                          leaf("Реле промежуточные РП-21 и РЭК77 с колодками",
                               "1209/rp-21-rek77.zip"),
                          leaf("Реле времени РВО-П2 с задержкой включения", "1210/rvo-p2.zip"),
                          leaf("Реле времени циклические РВЦ-П2", "1211/rvc-p2.zip"),
                          leaf("Реле контроля фаз РКФ-М", "1212/rkf-m.zip"),
                          leaf("Реле напряжения РН-П1 и реле тока РТ-П1", "1213/rn-p1-rt-p1.zip"),
                      }),
                group("Кнопки управления и посты кнопочные",
                      {
                          leaf("Кнопки управления LAY5 и LAY7 с подсветкой и без",
                               "1214/lay5-lay7.zip"),
                          leaf("Посты кнопочные ПКЕ-21 и ПКТ-6", "1215/pke-21-pkt-6.zip"),
                      }),
                leaf("Рубильники ВР32 и ВРЭ32 (выключатели-разъединители)", "1216/vr32-vre32.zip"),
                leaf("Автоматические выключатели в литом корпусе ВА88 и ВА99М",
                     "1217/va88-va99m.zip"),
                leaf("Переключатели кулачковые ПКП10 и ПКП25", "1218/pkp10-pkp25.zip"),
                leaf("Трансформаторы однофазные понижающие ОСМ1 и ОСОВ", "1219/osm1-osov.zip"),
            }),
        group("Щиты, корпуса и боксы для электрооборудования",
              {
                  group("Щиты металлические распределительные и учетные",
                        {
                            leaf("Щиты распределительные навесные ЩРН и встраиваемые ЩРВ",
                                 "1301/shrn-shrv.zip"),
                            leaf("Щиты с монтажной панелью ЩМП (IP54)", "1302/shmp.zip"),
                            leaf("Щиты учетные ЩУ и учетно-распределительные ЩУРН",
                                 "1303/shu-shurn.zip"),
                            leaf("Щиты этажные ЩЭ: на 2, 3 и 4 квартиры", "1304/she.zip"),
                            leaf("Щиты осветительные ЩО с автоматами на отходящих линиях",
                                 "1305/sho.zip"),
                            leaf("Шкафы напольные ШМР с монтажной панелью (IP31)", "1306/shmr.zip"),
                        }),
                  group("Боксы и корпуса пластиковые",
                        {
                            leaf("Боксы пластиковые КМПн на 2 - 36 модулей", "1307/kmpn.zip"),
                            leaf("Щиты пластиковые ЩРП навесные и встраиваемые", "1308/shrp.zip"),
                            leaf("Коробки распаячные КРП и КМР (IP44, IP55)", "1309/krp-kmr.zip"),
                            leaf("Корпуса поликарбонатные КПК (IP65)", "1310/kpk.zip"),
                            leaf("Боксы герметичные БГП со степенью защиты IP65", "1311/bgp.zip"),
                        }),
              }),
        group("Кабеленесущие системы и электромонтажные изделия",
              {
                  group("Лотки кабельные металлические и аксессуары",
                        {
                            leaf("Лотки перфорированные ЛМП и неперфорированные ЛМН",
                                 "1401/lmp-lmn.zip"),
                            leaf("Лотки лестничные ЛЛ для тяжелых кабельных трасс", "1402/ll.zip"),
                            leaf("Лотки проволочные ЛПР (оцинкованные)", "1403/lpr.zip"),
                            leaf("Крышки лотков КЛ", "1404/kl.zip"),
                            leaf("Соединители лотков СЛ и крепеж", "1405/sl.zip"),
                            leaf("Консоли кабельные К1150 и стойки К1152", "1406/k1150-k1152.zip"),
                        }),
                  group("Короба, кабель-каналы и трубы из ПВХ",
                        {
                            leaf("Кабель-каналы КК и мини-каналы ККМ", "1407/kk-kkm.zip"),
                            leaf("Короба напольные КНП с крышкой", "1408/knp.zip"),
                            leaf("Плинтусы кабельные ПЛК с аксессуарами", "1409/plk.zip"),
                            leaf("Трубы гофрированные ТГ и жесткие ТЖ из ПВХ", "1410/tg-tzh.zip"),
                        }),
              }),
        group(
            "Светотехническая продукция",
            {
                group(
                    "Светильники светодиодные",
                    {
                        leaf("Светильники офисные встраиваемые ДВО 6560", "1501/dvo-6560.zip"),
                        leaf("Светильники офисные накладные ДПО 6570", "1502/dpo-6570.zip"),
                        leaf("Панели светодиодные ДВО 6565 для подвесных потолков",
                             "1503/dvo-6565.zip"),
                        leaf("Светильники пылевлагозащищенные ДСП 1301 (IP65)",
                             "1504/dsp-1301.zip"),
                        leaf("Светильники ДСП 1301 с блоком аварийного питания",
                             "1505/dsp-1301-bap.zip"),
                        leaf("Светильники промышленные ДСП 5001 (IP65)", "1506/dsp-5001.zip"),
                        leaf("Светильники ЖКХ ДБО 4001 с датчиком движения", "1507/dbo-4001.zip"),
                        leaf("Светильники ЖКХ ДБО 4002 без датчика", "1508/dbo-4002.zip"),
                        leaf("Светильники уличные консольные ДКУ 1001", "1509/dku-1001.zip"),
                        leaf("Светильники уличные консольные ДКУ 1002 (мощные)",
                             "1510/dku-1002.zip"),
                        leaf("Светильники линейные ДПП 1201 для торговых залов",
                             "1511/dpp-1201.zip"),
                        leaf("Светильники аварийные ДПА 2101 с аккумулятором", "1512/dpa-2101.zip"),
                    }),
                group("Прожекторы светодиодные и галогенные",
                      {
                          leaf("Прожекторы светодиодные СДО 06 и СДО 07: 10 - 100 Вт",
                               "1513/sdo-06-07.zip"),
                          leaf("Прожекторы светодиодные с датчиком движения СДО 08Д и СДО 09Д",
                               "1514/sdo-08d-09d.zip"),
                          leaf("Прожекторы галогенные ИО 150 и ИО 500", "1515/io-150-500.zip"),
                      }),
            }),
        leaf("Трансформаторы тока измерительные ТТИ", "1601/tti.zip"),
        leaf("Наконечники и гильзы кабельные НШВИ, НКИ, НВИ, ТМЛ и ГМЛ", "1602/nshvi-tml.zip"),
        leaf("Электромонтажный инструмент: клещи КСИ, прессы ПКГ и ПГР, ножницы НМИ",
             "1603/instrument.zip"),
    };
    return items;
}

// The group download table, written out row by row: nothing here is derived from the tree.
//
// Twenty rows belong to the groups and one to the top-level leaf "Трансформаторы тока
// измерительные ТТИ", which lists just its own archive, so its download fetches it twice.
// Seventeen group rows list exactly the archives of the leaves below the group, each once:
// those of "Реле промежуточные...", "Щиты металлические...", "Лотки кабельные..." and
// "Светильники светодиодные" in an order of their own, the other thirteen in tree order.
// Three nested groups depart from the tree: "Модульное оборудование на DIN-рейку" contains
// "Автоматические выключатели модульные", which contains "Автоматические выключатели ВА47-29".
// All three fetch the older archive 1190/va47-29-d-2019.zip in place of the current
// 1103/va47-29-d.zip of the D-characteristic leaf; the middle one also fetches the three
// accessory leaves beside it (1118, 1119, 1120); the outermost leaves those three out and
// fetches 1107 and 1108 twice.
//
// So the 155 URLs are: the 152 that exact rows would list for the 20 groups (every leaf once
// per group above it: 7 second-level leaves once, 56 third-level twice, 11 fourth-level three
// times), plus 3 for the middle group's accessories, minus 3 and plus 2 for the outermost, plus
// 1 for the top-level leaf: 152 + 3 - 1 + 1.
struct Row {
    const char* key;
    std::vector<const char*> archives;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {"Модульное оборудование на DIN-рейку",
         {"1101/va47-29-b.zip", "1102/va47-29-c.zip", "1190/va47-29-d-2019.zip", "1105/va47-60.zip",
          "1106/va47-63.zip", "1107/va47-100.zip", "1108/va47-125.zip", "1109/va-101.zip",
          "1110/va-201.zip", "1111/vn-dc63.zip", "1112/azd-32.zip", "1113/vd1-63.zip",
          "1114/vdt-80.zip", "1115/avdt-32.zip", "1116/avdt-34.zip", "1117/ad12-ad14.zip",
          "1107/va47-100.zip", "1108/va47-125.zip"}},
        {"Автоматические выключатели модульные",
         {"1101/va47-29-b.zip", "1102/va47-29-c.zip", "1190/va47-29-d-2019.zip", "1105/va47-60.zip",
          "1106/va47-63.zip", "1107/va47-100.zip", "1108/va47-125.zip", "1109/va-101.zip",
          "1110/va-201.zip", "1111/vn-dc63.zip", "1112/azd-32.zip", "1118/rn47-rm47-rmm47.zip",
          "1119/ks47-ksv47-ksd47.zip", "1120/shs-pin-fork-ish.zip"}},
        {"Автоматические выключатели ВА47-29",
         {"1101/va47-29-b.zip", "1102/va47-29-c.zip", "1190/va47-29-d-2019.zip"}},
        {"Автоматические выключатели ВА47-60 и ВА47-63", {"1105/va47-60.zip", "1106/va47-63.zip"}},
        {"Устройства защитного отключения и дифференциальные автоматы",
         {"1113/vd1-63.zip", "1114/vdt-80.zip", "1115/avdt-32.zip", "1116/avdt-34.zip",
          "1117/ad12-ad14.zip"}},
        {"Низковольтная аппаратура управления и защиты",
         {"1201/kmi-9-18.zip", "1202/kmi-25-40.zip", "1203/kmn-rev.zip", "1204/pml-1-2.zip",
          "1205/pml-3-4.zip", "1206/pml-ip54.zip", "1207/kti.zip", "1208/rti-rtl.zip",
          "1209/rp-21-rek77.zip", "1210/rvo-p2.zip", "1211/rvc-p2.zip", "1212/rkf-m.zip",
          "1213/rn-p1-rt-p1.zip", "1214/lay5-lay7.zip", "1215/pke-21-pkt-6.zip",
          "1216/vr32-vre32.zip", "1217/va88-va99m.zip", "1218/pkp10-pkp25.zip",
          "1219/osm1-osov.zip"}},
        {"Контакторы и пускатели электромагнитные",
         {"1201/kmi-9-18.zip", "1202/kmi-25-40.zip", "1203/kmn-rev.zip", "1204/pml-1-2.zip",
          "1205/pml-3-4.zip", "1206/pml-ip54.zip", "1207/kti.zip", "1208/rti-rtl.zip"}},
        {"Контакторы малогабаритные КМИ и КМН",
         {"1201/kmi-9-18.zip", "1202/kmi-25-40.zip", "1203/kmn-rev.zip"}},
        {"Пускатели электромагнитные ПМЛ",
         {"1204/pml-1-2.zip", "1205/pml-3-4.zip", "1206/pml-ip54.zip"}},
        {"Реле промежуточные, времени и контроля",
         {"1212/rkf-m.zip", "1213/rn-p1-rt-p1.zip", "1209/rp-21-rek77.zip", "1210/rvo-p2.zip",
          "1211/rvc-p2.zip"}},
        {"Кнопки управления и посты кнопочные", {"1214/lay5-lay7.zip", "1215/pke-21-pkt-6.zip"}},
        {"Щиты, корпуса и боксы для электрооборудования",
         {"1301/shrn-shrv.zip", "1302/shmp.zip", "1303/shu-shurn.zip", "1304/she.zip",
          "1305/sho.zip", "1306/shmr.zip", "1307/kmpn.zip", "1308/shrp.zip", "1309/krp-kmr.zip",
          "1310/kpk.zip", "1311/bgp.zip"}},
        {"Щиты металлические распределительные и учетные",
         {"1303/shu-shurn.zip", "1301/shrn-shrv.zip", "1306/shmr.zip", "1302/shmp.zip",
          "1305/sho.zip", "1304/she.zip"}},
        {"Боксы и корпуса пластиковые",
         {"1307/kmpn.zip", "1308/shrp.zip", "1309/krp-kmr.zip", "1310/kpk.zip", "1311/bgp.zip"}},
        {"Кабеленесущие системы и электромонтажные изделия",
         {"1401/lmp-lmn.zip", "1402/ll.zip", "1403/lpr.zip", "1404/kl.zip", "1405/sl.zip",
          "1406/k1150-k1152.zip", "1407/kk-kkm.zip", "1408/knp.zip", "1409/plk.zip",
          "1410/tg-tzh.zip"}},
        {"Лотки кабельные металлические и аксессуары",
         {"1401/lmp-lmn.zip", "1404/kl.zip", "1405/sl.zip", "1402/ll.zip", "1403/lpr.zip",
          "1406/k1150-k1152.zip"}},
        {"Короба, кабель-каналы и трубы из ПВХ",
         {"1407/kk-kkm.zip", "1408/knp.zip", "1409/plk.zip", "1410/tg-tzh.zip"}},
        {"Светотехническая продукция",
         {"1501/dvo-6560.zip", "1502/dpo-6570.zip", "1503/dvo-6565.zip", "1504/dsp-1301.zip",
          "1505/dsp-1301-bap.zip", "1506/dsp-5001.zip", "1507/dbo-4001.zip", "1508/dbo-4002.zip",
          "1509/dku-1001.zip", "1510/dku-1002.zip", "1511/dpp-1201.zip", "1512/dpa-2101.zip",
          "1513/sdo-06-07.zip", "1514/sdo-08d-09d.zip", "1515/io-150-500.zip"}},
        {"Светильники светодиодные",
         {"1501/dvo-6560.zip", "1503/dvo-6565.zip", "1502/dpo-6570.zip", "1504/dsp-1301.zip",
          "1505/dsp-1301-bap.zip", "1506/dsp-5001.zip", "1509/dku-1001.zip", "1510/dku-1002.zip",
          "1507/dbo-4001.zip", "1508/dbo-4002.zip", "1511/dpp-1201.zip", "1512/dpa-2101.zip"}},
        {"Прожекторы светодиодные и галогенные",
         {"1513/sdo-06-07.zip", "1514/sdo-08d-09d.zip", "1515/io-150-500.zip"}},
        {"Трансформаторы тока измерительные ТТИ", {"1601/tti.zip"}},
    };
    return table;
}

Node toNode(const Item& item) {
    Node node{item.text, {}};
    node.children.reserve(item.children.size());
    for (const Item& child : item.children) node.children.push_back(toNode(child));
    return node;
}

void collectEntries(const Item& item, std::vector<std::string>& out) {
    if (item.archive) out.push_back(std::string(item.text) + '|' + url(item.archive));
    for (const Item& child : item.children) collectEntries(child, out);
}

}  // namespace

const std::vector<Node>& tree() {
    static const std::vector<Node> nodes = [] {
        std::vector<Node> out;
        for (const Item& item : range()) out.push_back(toNode(item));
        return out;
    }();
    return nodes;
}

const std::vector<GroupRow>& grouplist() {
    static const std::vector<GroupRow> table = [] {
        std::vector<GroupRow> out;
        for (const Row& row : rows()) {
            GroupRow g{row.key, {}};
            for (const char* archive : row.archives) g.urls.push_back(url(archive));
            out.push_back(std::move(g));
        }
        return out;
    }();
    return table;
}

std::vector<std::string> entries() {
    std::vector<std::string> out;
    for (const Item& item : range()) collectEntries(item, out);
    return out;
}

}  // namespace volnor::catalogue::data
