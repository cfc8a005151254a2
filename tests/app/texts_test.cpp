// The program's texts are written as words and held as Windows-1251 bytes:
// those bytes, byte for byte, are the texts the panel and its messages are
// to show, converted here apart from the program by glibc's iconv.
#include "app/texts.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace {

std::string Windows1251(std::string utf8) {
    static iconv_t to = iconv_open("CP1251", "UTF-8");
    std::string bytes(utf8.size(), '\0');
    char *source = utf8.data(), *target = bytes.data();
    size_t left = utf8.size(), room = bytes.size();
    EXPECT_NE(iconv(to, &source, &left, &target, &room), static_cast<size_t>(-1)) << utf8;
    return bytes.substr(0, bytes.size() - room);
}

TEST(Texts, AreTheWindows1251BytesOfTheTextsToShow) {
    const std::pair<const char*, const char*> kTexts[] = {
        {kProgramTitle, "Virtual Q7700-Ethernet demo"},
        {kLabelIpText, "IP Q7700-Ethernet: "},
        {kDefaultPeerAddress, "192.168.0.10"},
        {kLabelPortText, "Порт: "},
        {kDefaultPort, "2048"},
        {kStopText, "Стоп"},
        {kStartText, "Пуск"},
        {kLabelMessageText, "Сообщение"},
        {kLabelCodesText, "ASCII-коды"},
        {kDefaultCode1, "10"},
        {kDefaultCode2, "13"},
        {kSendText, "Передать"},
        {kLabelReceivedText, "Принято:"},
        {kNetworkStartFailedText,
         "Проблемы инициализации сетевого адаптера. Программа будет закрыта."},
        {kPortBusyBefore, "Порт "},
        {kPortBusyAfter, " занят. Вероятно, его использует другая программа."},
        {kErrorTitle, "Ошибка!"},
        {kCannotConnectText, "Невозможно подключиться!"}};
    for (const auto& [held, text] : kTexts)
        EXPECT_EQ(held, Windows1251(text)) << text;
}

} // namespace
