#include <gtest/gtest.h>
#include <QApplication>
#include <QRadioButton>
#include <QTimer>

#include "golden_image.h"
#include "ui/play/frm_hu_pai_result.h"
#include "ui/play/frm_shun_zi.h"

namespace qira::play {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "play_widgets_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

QString SharedFolder() {
    return QStringLiteral(QIRA_SHARED_FOLDER);
}

std::vector<QRadioButton*> Options(QWidget& window) {
    const auto found = window.findChildren<QRadioButton*>();
    std::vector<QRadioButton*> options(found.begin(), found.end());
    std::sort(options.begin(), options.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    return options;
}

TEST(ChowChooser, ThreeOptionsAHundredApartWithTheFirstPreselected) {
    App();
    frmShunZi chooser({0, 1, 2}, SharedFolder());
    const auto options = Options(chooser);
    ASSERT_EQ(options.size(), 3u);
    EXPECT_TRUE(options[0]->isChecked());
    EXPECT_EQ(options[1]->y() - options[0]->y(), 100);
    EXPECT_EQ(options[2]->y() - options[1]->y(), 100);
    EXPECT_EQ(chooser.bytChosenChow(), 0);
    chooser.grab().save(QStringLiteral("chow_chooser.png"));
}

TEST(ChowChooser, CountsDownFromFifteenAndTakesTheSelectedChoice) {
    App();
    frmShunZi chooser({3, 4}, SharedFolder());
    chooser.show();
    Options(chooser)[1]->setChecked(true);
    chooser.OnTimerTick();
    EXPECT_EQ(chooser.model().ConfirmCaption(), "确定(&Y)  15");
    for (int i = 0; i < 14; ++i) chooser.OnTimerTick();
    EXPECT_TRUE(chooser.isVisible()) << "still open after fifteen seconds";
    chooser.OnTimerTick();
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.bytChosenChow(), 4);
}

TEST(ChowChooser, ModalChoiceKeepsTheEventLoopRunning) {
    App();
    bool eventDelivered = false;
    QTimer::singleShot(0, [&] {
        eventDelivered = true;
        for (auto* widget : QApplication::topLevelWidgets()) {
            auto* chooser = qobject_cast<frmShunZi*>(widget);
            if (!chooser || !chooser->isVisible()) continue;
            Options(*chooser)[2]->setChecked(true);
            chooser->accept();
        }
    });
    EXPECT_EQ(frmShunZi::Choose({5, 6, 7}, SharedFolder(), nullptr), 7);
    EXPECT_TRUE(eventDelivered);
}

std::vector<std::uint8_t> TwoWinnerRecord() {
    std::vector<std::uint8_t> m{23, 2};
    for (std::uint8_t chair : {1, 3}) {
        m.insert(m.end(), {chair, 4, 2, 5, 3, 27, 7});
        m.insert(m.end(), {0, 1, 2, 9, 10, 11, 36});
        std::array<std::uint8_t, 17> items{};
        items[0] = 0;   // chair 0 discarded
        items[2] = 2;   // item 3: "点炮"
        items[13] = 2;  // item 14: "挂档"
        m.insert(m.end(), items.begin(), items.end());
    }
    auto put = [&m](std::int32_t v) {
        for (int s = 24; s >= 0; s -= 8) m.push_back(static_cast<std::uint8_t>(v >> s));
    };
    for (int v : {-20, 10, 0, 10}) put(v);
    for (int v : {-24, 12, 0, 12}) put(v);
    put(0);
    m.insert(m.end(), {0, 0, 1, 0, 0, 0, 0, 1});
    m.push_back(36);
    for (int chair = 0; chair < 4; ++chair) m.insert(m.end(), {0, 0, 2, 0, 0, 0});
    return m;
}

TEST(WinResult, FillsHeaderRowsAndCountsDownToClose) {
    App();
    frmHuPaiResult window(SharedFolder());
    const auto record = DecodeWinRecord(TwoWinnerRecord());
    ASSERT_TRUE(record);
    window.ProcessHuResultData(*record, "Qira麻将", {"东家", "南家", "西家", "北家"});
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Qira麻将 胡牌提示"));
    EXPECT_EQ(window.WinnerLine(), QString::fromUtf8("南家，北家  同时胡牌"));
    EXPECT_EQ(window.DiscarderLine(), QString::fromUtf8("东家  点炮"));
    EXPECT_EQ(window.ResultList().item(0, 1)->text(), "-20");
    EXPECT_EQ(window.ResultList().item(1, 3)->text(), QString::fromUtf8("点炮Ⅹ2，挂档Ⅹ2，1个暗杠"));
    EXPECT_EQ(window.ResultList().item(0, 3)->text(), QString::fromUtf8("挂档Ⅹ2"));
    EXPECT_EQ(window.CloseCaption(), QString::fromUtf8("关闭 60"));
    window.show();
    test_support::ExpectMatchesGolden(window.grab().toImage(), QStringLiteral(QIRA_GOLDEN_DIR),
                                      QStringLiteral("win_result"));
    window.OnTimerTick();
    EXPECT_EQ(window.CloseCaption(), QString::fromUtf8("关闭 59"));
    for (int i = 0; i < 59; ++i) window.OnTimerTick();
    EXPECT_FALSE(window.isVisible());
}

// Chair 2 draws 北风 and wins with two wild 红中 and a pung of 东风 laid down.
std::vector<std::uint8_t> SelfDrawnWithWildsRecord() {
    std::vector<std::uint8_t> m{23, 1, 2, 2, 2, 27};
    const std::vector<std::uint8_t> concealed = {36, 36, 3, 5, 12, 12, 18, 19, 20, 30};
    m.push_back(static_cast<std::uint8_t>(concealed.size()));
    m.insert(m.end(), concealed.begin(), concealed.end());
    std::array<std::uint8_t, 17> items{};
    items[0] = 4;  // self-drawn
    items[1] = 2;  // item 2: "自摸"
    m.insert(m.end(), items.begin(), items.end());
    auto put = [&m](std::int32_t v) {
        for (int s = 24; s >= 0; s -= 8) m.push_back(static_cast<std::uint8_t>(v >> s));
    };
    for (int v : {-4, -4, 12, -4}) put(v);
    for (int v : {-4, -4, 12, -4}) put(v);
    put(0);
    m.insert(m.end(), 8, 0);
    m.push_back(30);
    for (int chair = 0; chair < 4; ++chair) m.insert(m.end(), {1, 1, 1, 0, 0, 0});
    return m;
}

// Pixels in the label colour (a dark red) inside `rect`.
int LabelPixels(const QImage& picture, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            if (colour.red() > 110 && colour.green() < 100 && colour.blue() < 100) ++count;
        }
    }
    return count;
}

TEST(WinResult, GroupsTheWinnersHandAndLabelsWhatEachWildTileStoodFor) {
    App();
    frmHuPaiResult window(SharedFolder());
    const auto record = DecodeWinRecord(SelfDrawnWithWildsRecord());
    ASSERT_TRUE(record);
    window.ProcessHuResultData(*record, "Qira麻将", {"东家", "南家", "西家", "北家"}, 36);
    EXPECT_EQ(window.WinnerLine(), QString::fromUtf8("西家  自摸胡牌"));
    window.show();
    const QImage picture = window.grab().toImage();
    picture.save(QStringLiteral("win_result_wilds.png"));
    test_support::ExpectMatchesGolden(picture, QStringLiteral(QIRA_GOLDEN_DIR),
                                      QStringLiteral("win_result_wilds"));
    // The wild tiles: the middle of 3-4-5萬, and the third 北风 beside the pair.
    const auto labels = window.PaintedWildLabels();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].text, QString::fromUtf8("当五萬"));
    EXPECT_EQ(labels[1].text, QString::fromUtf8("当北风"));
    for (const auto& label : labels) {
        EXPECT_TRUE(picture.rect().contains(label.rect)) << label.text.toStdString();
        EXPECT_GT(LabelPixels(picture, label.rect), 15) << label.text.toStdString();
    }
}

TEST(WinResult, WithoutTheWildTileNoHandIsGrouped) {
    App();
    frmHuPaiResult window(SharedFolder());
    const auto record = DecodeWinRecord(SelfDrawnWithWildsRecord());
    ASSERT_TRUE(record);
    window.ProcessHuResultData(*record, "T", {});
    window.show();
    window.grab();
    EXPECT_TRUE(window.PaintedWildLabels().empty());
}

}  // namespace
}  // namespace qira::play
