// The palette editor as the operator sees it in the Day and Dusk styles: pictures for review in
// the test's scratch folder, and the checks that the styles reach every part of it.
#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/ColorMapDialog.h"
#include "QtAppFramework/UiStyle.h"

#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

TEST(ColorMapDialogLook, DayAndDusk)
{
    initUiStyle();
    ColorMap map;
    map.setObjectName(QStringLiteral("Depth"));
    map.setStartColor(QColor::fromHsvF(0.0, 1, 1));
    map.setStopColor(QColor::fromHsvF(0.8, 1, 1, 0.6));
    map.setMin(5);
    map.setMax(45);
    map.setEndMode(ColorMap::CLAMP);
    map.setStartList({0, 30.0});
    map.setStopList({12.5f, 32.0});
    map.setColorList({QColor(Qt::white), QColor(Qt::darkGreen)});

    ColorMapDialog dialog;
    dialog.setDataRange(0, 50);
    dialog.setGradient(&map);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    QList<QColor> lstBackgrounds;
    for (const auto& [nMode, szName] : {std::pair{0, "day"}, std::pair{1, "dusk"}}) {
        applyStyleSheet(nullptr, nMode, 1);
        applyStyleClasses(&dialog);
        QTest::qWait(100);
        const QImage image = dialog.grab().toImage();
        const QString strFile = QDir(corvtest::scratchDir()).filePath(QStringLiteral("colour_setup_%1.png").arg(QLatin1String(szName)));
        ASSERT_TRUE(image.save(strFile)) << strFile.toStdString();
        lstBackgrounds << image.pixelColor(2, image.height() / 2);

        // The preview fills its frame and the band table shows its rows in full.
        auto* poPreview = dialog.findChild<QLabel*>(QStringLiteral("gradientLabel"));
        EXPECT_EQ(poPreview->pixmap(Qt::ReturnByValue).size(), poPreview->size() - QSize(2, 2)) << szName;
        auto* poTable = dialog.findChild<QTableWidget*>(QStringLiteral("staticRanges"));
        EXPECT_GE(poTable->viewport()->height(), poTable->rowHeight(0) * 2) << szName;
    }
    EXPECT_NE(lstBackgrounds.at(0), lstBackgrounds.at(1));
}
