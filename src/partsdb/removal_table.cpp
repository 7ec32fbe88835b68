#include "partsdb/removal_table.h"

namespace volnor::partsdb {

namespace {

// A type-number pattern: matched with LIKE '%...%', so it holds no apostrophe and no %, _ or [.
RemovalStep sql(const char16_t* pattern) {
    return {RemovalStep::Kind::ClearSql, QString::fromUtf16(pattern), 0};
}

// Macro files whose names contain one of the tokens; every token ends in ";" and the count is
// the number of tokens.
RemovalStep dfile(int count, const char16_t* tokens) {
    return {RemovalStep::Kind::DFile, QString::fromUtf16(tokens), count};
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
        {sql(u"ЩРН-"), sql(u"ЩРВ-"), sql(u"ЩМП-"), sql(u"ЩУ-"), sql(u"ЩУРН-"), sql(u"ЩЭ-"),
         sql(u"ЩО-"), sql(u"ШМР-"), dfile(8, u"SHRN;SHRV;SHMP;SHU_;SHURN;SHE_;SHO_;SHMR;")};
    const std::vector<RemovalStep> plasticBoxes =
        {sql(u"КМПн"), sql(u"ЩРП-"), sql(u"КРП-"), sql(u"КМР-"), sql(u"КПК-"), sql(u"БГП-"),
         dfile(6, u"KMPN;SHRP;KRP_;KMR_;KPK_;BGP_;")};
    const std::vector<RemovalStep> metalTrays =
        {sql(u"ЛМП-"), sql(u"ЛМН-"), sql(u"ЛЛ-"), sql(u"ЛПР-"), sql(u"КЛ-"), sql(u"СЛ-"),
         sql(u"К1150"), sql(u"К1152"), dfile(8, u"LMP_;LMN_;LL_;LPR_;KL_;SL_;K1150;K1152;")};
    const std::vector<RemovalStep> pvcDucts =
        {sql(u"КК-"), sql(u"ККМ-"), sql(u"КНП-"), sql(u"ПЛК-"), sql(u"ТГ-"), sql(u"ТЖ-"),
         dfile(6, u"KK_;KKM_;KNP_;PLK_;TG_;TZH_;")};
    const std::vector<RemovalStep> ledLuminaires =
        {sql(u"ДВО 6560"), sql(u"ДПО 6570"), sql(u"ДВО 6565"), sql(u"ДСП 1301"), sql(u"ДСП 5001"),
         sql(u"ДБО 4001"), sql(u"ДБО 4002"), sql(u"ДКУ 1001"), sql(u"ДКУ 1002"), sql(u"ДПП 1201"),
         sql(u"ДПА 2101"),
         dfile(21,
               u"DVO_6560_36W;DVO_6560_40W;DPO_6570_36W;DPO_6570_40W;DVO_6565_595;"
               u"DSP_1301_18W;DSP_1301_36W;DSP_1301(BAP);DSP_5001_100W;DSP_5001_150W;"
               u"DBO_4001_DD;DBO_4002_12W;DBO_4002_18W;DKU_1001_50W;DKU_1001_100W;"
               u"DKU_1002_150W;DKU_1002_200W;DPP_1201_1200;DPP_1201_1500;DPA_2101_1H;"
               u"DPA_2101_3H;")};
    const std::vector<RemovalStep> floodlights =
        {sql(u"СДО 06"), sql(u"СДО 07"), sql(u"СДО 08Д"), sql(u"СДО 09Д"), sql(u"ИО 150"),
         sql(u"ИО 500"), dfile(6, u"SDO_06;SDO_07;SDO_08D;SDO_09D;IO_150;IO_500;")};
    // clang-format on

    static const std::vector<RemovalEntry> table = {
        {QStringLiteral("Автоматические выключатели ВА47-29"),
         {sql(u"ВА47-29"), dfile(3, u"VA47_29_B;VA47_29_C;VA47_29_D;")}},
        {QStringLiteral("Автоматические выключатели ВА47-60 и ВА47-63"),
         {sql(u"ВА47-60"), sql(u"ВА47-63"), dfile(2, u"VA47_60;VA47_63;")}},
        {QStringLiteral("Автоматические выключатели модульные"),
         {sql(u"ВА47-29"), sql(u"ВА47-60"), sql(u"ВА47-63"), sql(u"ВА47-100"), sql(u"ВА47-125"),
          sql(u"ВА-101"), sql(u"ВА-201"), sql(u"ВН-DC63"), sql(u"АЗД-32"),
          dfile(5, u"VA47_;VA_101;VA_201;VN_DC63;AZD_32;")}},
        {QStringLiteral("Устройства защитного отключения и дифференциальные автоматы"),
         {sql(u"ВД1-63"), sql(u"ВДТ-80"), sql(u"АВДТ 32"), sql(u"АВДТ 34"), sql(u"АД12"),
          sql(u"АД14"), dfile(6, u"VD1_63;VDT_80;AVDT_32;AVDT_34;AD12;AD14;")}},
        {QStringLiteral("Расцепители РН47, РМ47 и РММ47 для автоматических выключателей"),
         {sql(u"РН47"), sql(u"РМ47"), sql(u"РММ47"), dfile(3, u"RN47;RM47;RMM47;")}},
        {QStringLiteral("Дополнительные контакты КС47, КСВ47 и КСД47"),
         {sql(u"КС47"), sql(u"КСВ47"), sql(u"КСД47"), dfile(3, u"KS47;KSV47;KSD47;")}},
        {QStringLiteral("Модульное оборудование на DIN-рейку"),
         {sql(u"ВА47-29"),
          sql(u"ВА47-60"),
          sql(u"ВА47-63"),
          sql(u"ВА47-100"),
          sql(u"ВА47-125"),
          sql(u"ВА-101"),
          sql(u"ВА-201"),
          sql(u"ВН-DC63"),
          sql(u"АЗД-32"),
          sql(u"ВД1-63"),
          sql(u"ВДТ-80"),
          sql(u"АВДТ 32"),
          sql(u"АВДТ 34"),
          sql(u"АД12"),
          sql(u"АД14"),
          sql(u"РН47"),
          sql(u"РМ47"),
          sql(u"РММ47"),
          sql(u"КС47"),
          sql(u"КСВ47"),
          sql(u"КСД47"),
          sql(u"ШС-PIN"),
          sql(u"ШС-FORK"),
          sql(u"ИШ-1"),
          sql(u"ИШ-2"),
          dfile(18,
                u"VA47_;VA_101;VA_201;VN_DC63;AZD_32;VD1_63;VDT_80;AVDT_3;AD12;AD14;RN47;RM47;"
                u"RMM47;KS47;KSV47;KSD47;SHS_;ISH_;")}},

        {QStringLiteral("Контакторы малогабаритные КМИ и КМН"),
         {sql(u"КМИ"), sql(u"КМН"), dfile(2, u"KMI;KMN;")}},
        {QStringLiteral("Пускатели электромагнитные ПМЛ"), {sql(u"ПМЛ"), dfile(1, u"PML;")}},
        {QStringLiteral("Контакторы и пускатели электромагнитные"),
         {sql(u"КМИ"), sql(u"КМН"), sql(u"ПМЛ"), sql(u"КТИ"), sql(u"РТИ"), sql(u"РТЛ"),
          dfile(6, u"KMI;KMN;PML;KTI;RTI;RTL;")}},
        {QStringLiteral("Реле промежуточные, времени и контроля"),
         {sql(u"РП-21"), sql(u"РЭК77"), dfile(2, u"REL_RP21;REL_REK77;"),  //
          sql(u"РВО-П2"), dfile(1, u"REL_RVO_P2;"),                        //
          sql(u"РВЦ-П2"), dfile(1, u"REL_RVC_P2;"),                        //
          sql(u"РКФ-М"), dfile(1, u"REL_RKF_M;"),                          //
          sql(u"РН-П1"), dfile(1, u"REL_RN_P1;"),                          //
          sql(u"РТ-П1"), dfile(1, u"REL_RT_P1;")}},
        // The push-button macros are listed twice over; the second pass finds nothing left.
        {QStringLiteral("Кнопки управления и посты кнопочные"),
         {sql(u"LAY5"), sql(u"LAY7"), sql(u"ПКЕ-21"), sql(u"ПКТ-6"),
          dfile(5, u"BTN_LAY5;BTN_LAY7;PST_PKE21;PST_PKT6;BTN_LAY5;")}},
        {QStringLiteral("Рубильники ВР32 и ВРЭ32 (выключатели-разъединители)"),
         {sql(u"ВР32"), sql(u"ВРЭ32"), dfile(2, u"VR32;VRE32;")}},
        {QStringLiteral("Автоматические выключатели в литом корпусе ВА88 и ВА99М"),
         {sql(u"ВА88"), sql(u"ВА99М"), dfile(2, u"VA88;VA99M;")}},
        {QStringLiteral("Низковольтная аппаратура управления и защиты"),
         {sql(u"КМИ"),
          sql(u"КМН"),
          sql(u"ПМЛ"),
          sql(u"КТИ"),
          sql(u"РТИ"),
          sql(u"РТЛ"),
          sql(u"РП-21"),
          sql(u"РЭК77"),
          sql(u"РВО-П2"),
          sql(u"РВЦ-П2"),
          sql(u"РКФ-М"),
          sql(u"РН-П1"),
          sql(u"РТ-П1"),
          sql(u"LAY5"),
          sql(u"LAY7"),
          sql(u"ПКЕ-21"),
          sql(u"ПКТ-6"),
          sql(u"ВР32"),
          sql(u"ВРЭ32"),
          sql(u"ВА88"),
          sql(u"ВА99М"),
          sql(u"ПКП10"),
          sql(u"ПКП25"),
          sql(u"ОСМ1"),
          sql(u"ОСОВ"),
          dfile(17,
                u"KMI;KMN;PML;KTI;RTI;RTL;REL_;BTN_;PST_;VR32;VRE32;VA88;VA99M;PKP10;PKP25;"
                u"OSM1;OSOV;")}},

        {QStringLiteral("Щиты металлические распределительные и учетные"), metalBoards},
        {QStringLiteral("Боксы и корпуса пластиковые"), plasticBoxes},
        {QStringLiteral("Щиты, корпуса и боксы для электрооборудования"),
         inSequence({metalBoards, plasticBoxes})},

        {QStringLiteral("Лотки кабельные металлические и аксессуары"), metalTrays},
        {QStringLiteral("Короба, кабель-каналы и трубы из ПВХ"), pvcDucts},
        {QStringLiteral("Кабеленесущие системы и электромонтажные изделия"),
         inSequence({metalTrays, pvcDucts})},

        {QStringLiteral("Светильники светодиодные"), ledLuminaires},
        {QStringLiteral("Прожекторы светодиодные и галогенные"), floodlights},
        {QStringLiteral("Светотехническая продукция"), inSequence({ledLuminaires, floodlights})},

        {QStringLiteral("Трансформаторы тока измерительные ТТИ"), {sql(u"ТТИ"), dfile(1, u"TTI;")}},
        // Lugs and tools have no macros.
        {QStringLiteral("Наконечники и гильзы кабельные НШВИ, НКИ, НВИ, ТМЛ и ГМЛ"),
         {sql(u"НШВИ"), sql(u"НКИ"), sql(u"НВИ"), sql(u"ТМЛ"), sql(u"ГМЛ")}},
        {QStringLiteral("Электромонтажный инструмент: клещи КСИ, прессы ПКГ и ПГР, ножницы НМИ"),
         {sql(u"КСИ-"), sql(u"ПКГ-"), sql(u"ПГР-"), sql(u"НМИ-"), sql(u"СТР-"), sql(u"КСП-")}},
    };
    return table;
}

}  // namespace volnor::partsdb
