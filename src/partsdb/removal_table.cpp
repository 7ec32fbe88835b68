#include "partsdb/removal_table.h"

#include <initializer_list>

namespace volnor::partsdb {

namespace {

// A type-number pattern: matched with LIKE '%...%', so it holds no apostrophe and no %, _ or [.
RemovalStep sql(const char* pattern) { return {RemovalStep::Kind::ClearSql, pattern, 0}; }

// Macro files whose names contain one of the tokens; every token ends in ";" and the count is
// the number of tokens.
RemovalStep dfile(int count, const char* tokens) {
    return {RemovalStep::Kind::DFile, tokens, count};
}

// A group whose removal is its sub-groups' removals, one after the other.
std::vector<RemovalStep> inSequence(std::initializer_list<std::vector<RemovalStep>> parts) {
    std::vector<RemovalStep> steps;
    for (const auto& part : parts) steps.insert(steps.end(), part.begin(), part.end());
    return steps;
}

}  // namespace

// Keys are catalogue node texts, character for character. An entry of a sub-group stands before
// its group's. A group's entry covers everything beneath it: either it is its sub-groups' steps
// one after the other ("Щиты, корпуса...", "Кабеленесущие системы...", "Светотехническая
// продукция"), or it lists every pattern of the group and then one macro step whose tokens are
// contained in all the tokens beneath ("Модульное оборудование...", "Автоматические выключатели
// модульные", "Низковольтная аппаратура...", "Контакторы и пускатели...").
const std::vector<RemovalEntry>& removalTable() {
    // The steps of sub-groups whose group removes them one after the other.
    // clang-format off
    const std::vector<RemovalStep> metalBoards =
        {sql("ЩРН-"), sql("ЩРВ-"), sql("ЩМП-"), sql("ЩУ-"), sql("ЩУРН-"), sql("ЩЭ-"),
         sql("ЩО-"), sql("ШМР-"), dfile(8, "SHRN;SHRV;SHMP;SHU_;SHURN;SHE_;SHO_;SHMR;")};
    const std::vector<RemovalStep> plasticBoxes =
        {sql("КМПн"), sql("ЩРП-"), sql("КРП-"), sql("КМР-"), sql("КПК-"), sql("БГП-"),
         dfile(6, "KMPN;SHRP;KRP_;KMR_;KPK_;BGP_;")};
    const std::vector<RemovalStep> metalTrays =
        {sql("ЛМП-"), sql("ЛМН-"), sql("ЛЛ-"), sql("ЛПР-"), sql("КЛ-"), sql("СЛ-"),
         sql("К1150"), sql("К1152"), dfile(8, "LMP_;LMN_;LL_;LPR_;KL_;SL_;K1150;K1152;")};
    const std::vector<RemovalStep> pvcDucts =
        {sql("КК-"), sql("ККМ-"), sql("КНП-"), sql("ПЛК-"), sql("ТГ-"), sql("ТЖ-"),
         dfile(6, "KK_;KKM_;KNP_;PLK_;TG_;TZH_;")};
    const std::vector<RemovalStep> ledLuminaires =
        {sql("ДВО 6560"), sql("ДПО 6570"), sql("ДВО 6565"), sql("ДСП 1301"), sql("ДСП 5001"),
         sql("ДБО 4001"), sql("ДБО 4002"), sql("ДКУ 1001"), sql("ДКУ 1002"), sql("ДПП 1201"),
         sql("ДПА 2101"),
         dfile(21,
               "DVO_6560_36W;DVO_6560_40W;DPO_6570_36W;DPO_6570_40W;DVO_6565_595;"
               "DSP_1301_18W;DSP_1301_36W;DSP_1301(BAP);DSP_5001_100W;DSP_5001_150W;"
               "DBO_4001_DD;DBO_4002_12W;DBO_4002_18W;DKU_1001_50W;DKU_1001_100W;"
               "DKU_1002_150W;DKU_1002_200W;DPP_1201_1200;DPP_1201_1500;DPA_2101_1H;"
               "DPA_2101_3H;")};
    const std::vector<RemovalStep> floodlights =
        {sql("СДО 06"), sql("СДО 07"), sql("СДО 08Д"), sql("СДО 09Д"), sql("ИО 150"),
         sql("ИО 500"), dfile(6, "SDO_06;SDO_07;SDO_08D;SDO_09D;IO_150;IO_500;")};
    // clang-format on

    static const std::vector<RemovalEntry> table = {
        {"Автоматические выключатели ВА47-29",
         {sql("ВА47-29"), dfile(3, "VA47_29_B;VA47_29_C;VA47_29_D;")}},
        {"Автоматические выключатели ВА47-60 и ВА47-63",
         {sql("ВА47-60"), sql("ВА47-63"), dfile(2, "VA47_60;VA47_63;")}},
        {"Автоматические выключатели модульные",
         {sql("ВА47-29"), sql("ВА47-60"), sql("ВА47-63"), sql("ВА47-100"), sql("ВА47-125"),
          sql("ВА-101"), sql("ВА-201"), sql("ВН-DC63"), sql("АЗД-32"),
          dfile(5, "VA47_;VA_101;VA_201;VN_DC63;AZD_32;")}},
        {"Устройства защитного отключения и дифференциальные автоматы",
         {sql("ВД1-63"), sql("ВДТ-80"), sql("АВДТ 32"), sql("АВДТ 34"), sql("АД12"), sql("АД14"),
          dfile(6, "VD1_63;VDT_80;AVDT_32;AVDT_34;AD12;AD14;")}},
        {"Расцепители РН47, РМ47 и РММ47 для автоматических выключателей",
         {sql("РН47"), sql("РМ47"), sql("РММ47"), dfile(3, "RN47;RM47;RMM47;")}},
        {"Дополнительные контакты КС47, КСВ47 и КСД47",
         {sql("КС47"), sql("КСВ47"), sql("КСД47"), dfile(3, "KS47;KSV47;KSD47;")}},
        {"Модульное оборудование на DIN-рейку",
         {sql("ВА47-29"),
          sql("ВА47-60"),
          sql("ВА47-63"),
          sql("ВА47-100"),
          sql("ВА47-125"),
          sql("ВА-101"),
          sql("ВА-201"),
          sql("ВН-DC63"),
          sql("АЗД-32"),
          sql("ВД1-63"),
          sql("ВДТ-80"),
          sql("АВДТ 32"),
          sql("АВДТ 34"),
          sql("АД12"),
          sql("АД14"),
          sql("РН47"),
          sql("РМ47"),
          sql("РММ47"),
          sql("КС47"),
          sql("КСВ47"),
          sql("КСД47"),
          sql("ШС-PIN"),
          sql("ШС-FORK"),
          sql("ИШ-1"),
          sql("ИШ-2"),
          dfile(18,
                "VA47_;VA_101;VA_201;VN_DC63;AZD_32;VD1_63;VDT_80;AVDT_3;AD12;AD14;RN47;RM47;"
                "RMM47;KS47;KSV47;KSD47;SHS_;ISH_;")}},

        {"Контакторы малогабаритные КМИ и КМН", {sql("КМИ"), sql("КМН"), dfile(2, "KMI;KMN;")}},
        {"Пускатели электромагнитные ПМЛ", {sql("ПМЛ"), dfile(1, "PML;")}},
        {"Контакторы и пускатели электромагнитные",
         {sql("КМИ"), sql("КМН"), sql("ПМЛ"), sql("КТИ"), sql("РТИ"), sql("РТЛ"),
          dfile(6, "KMI;KMN;PML;KTI;RTI;RTL;")}},
        {"Реле промежуточные, времени и контроля",
         {sql("РП-21"), sql("РЭК77"), dfile(2, "REL_RP21;REL_REK77;"),  //
          sql("РВО-П2"), dfile(1, "REL_RVO_P2;"),                       //
          sql("РВЦ-П2"), dfile(1, "REL_RVC_P2;"),                       //
          sql("РКФ-М"), dfile(1, "REL_RKF_M;"),                         //
          sql("РН-П1"), dfile(1, "REL_RN_P1;"),                         //
          sql("РТ-П1"), dfile(1, "REL_RT_P1;")}},
        // The push-button macros are listed twice over; the second pass finds nothing left.
        {"Кнопки управления и посты кнопочные",
         {sql("LAY5"), sql("LAY7"), sql("ПКЕ-21"), sql("ПКТ-6"),
          dfile(5, "BTN_LAY5;BTN_LAY7;PST_PKE21;PST_PKT6;BTN_LAY5;")}},
        {"Рубильники ВР32 и ВРЭ32 (выключатели-разъединители)",
         {sql("ВР32"), sql("ВРЭ32"), dfile(2, "VR32;VRE32;")}},
        {"Автоматические выключатели в литом корпусе ВА88 и ВА99М",
         {sql("ВА88"), sql("ВА99М"), dfile(2, "VA88;VA99M;")}},
        {"Низковольтная аппаратура управления и защиты",
         {sql("КМИ"),
          sql("КМН"),
          sql("ПМЛ"),
          sql("КТИ"),
          sql("РТИ"),
          sql("РТЛ"),
          sql("РП-21"),
          sql("РЭК77"),
          sql("РВО-П2"),
          sql("РВЦ-П2"),
          sql("РКФ-М"),
          sql("РН-П1"),
          sql("РТ-П1"),
          sql("LAY5"),
          sql("LAY7"),
          sql("ПКЕ-21"),
          sql("ПКТ-6"),
          sql("ВР32"),
          sql("ВРЭ32"),
          sql("ВА88"),
          sql("ВА99М"),
          sql("ПКП10"),
          sql("ПКП25"),
          sql("ОСМ1"),
          sql("ОСОВ"),
          dfile(17,
                "KMI;KMN;PML;KTI;RTI;RTL;REL_;BTN_;PST_;VR32;VRE32;VA88;VA99M;PKP10;PKP25;"
                "OSM1;OSOV;")}},

        {"Щиты металлические распределительные и учетные", metalBoards},
        {"Боксы и корпуса пластиковые", plasticBoxes},
        {"Щиты, корпуса и боксы для электрооборудования", inSequence({metalBoards, plasticBoxes})},

        {"Лотки кабельные металлические и аксессуары", metalTrays},
        {"Короба, кабель-каналы и трубы из ПВХ", pvcDucts},
        {"Кабеленесущие системы и электромонтажные изделия", inSequence({metalTrays, pvcDucts})},

        {"Светильники светодиодные", ledLuminaires},
        {"Прожекторы светодиодные и галогенные", floodlights},
        {"Светотехническая продукция", inSequence({ledLuminaires, floodlights})},

        {"Трансформаторы тока измерительные ТТИ", {sql("ТТИ"), dfile(1, "TTI;")}},
        // Lugs and tools have no macros.
        {"Наконечники и гильзы кабельные НШВИ, НКИ, НВИ, ТМЛ и ГМЛ",
         {sql("НШВИ"), sql("НКИ"), sql("НВИ"), sql("ТМЛ"), sql("ГМЛ")}},
        {"Электромонтажный инструмент: клещи КСИ, прессы ПКГ и ПГР, ножницы НМИ",
         {sql("КСИ-"), sql("ПКГ-"), sql("ПГР-"), sql("НМИ-"), sql("СТР-"), sql("КСП-")}},
    };
    return table;
}

}  // namespace volnor::partsdb
