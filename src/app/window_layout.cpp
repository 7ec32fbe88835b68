#include "app/window_layout.h"

#include <stdexcept>

#include "buildconfig.h"

namespace volnor::app::layout {

const std::array<ToolButton, 7>& toolButtons() {
    static const std::array<ToolButton, 7> buttons = [] {
        const std::string web = buildconfig::kWebHost;
        return std::array<ToolButton, 7>{{
            {2, 0, web, "Перейти на сайт " + web, true, false},
            {3, 1, "инструкция", "Посмотреть инструкцию", true, true},
            {1, 2, "скачать всю базу", "Загрузить всё сразу", true, false},
            {4, 3, "удалить всю базу", "Если у вас возникли вопросы пишите.", true, false},
            {5, 4, "написать письмо", "", true, false},
            {6, 5, "новости обновлений", "", false, true},
            {7, 6, "путь к базе", "", true, false},
        }};
    }();
    return buttons;
}

const ToolButton& toolButton(int number) {
    for (const ToolButton& button : toolButtons())
        if (button.number == number) return button;
    throw std::out_of_range("no ToolButton" + std::to_string(number));
}

}  // namespace volnor::app::layout
