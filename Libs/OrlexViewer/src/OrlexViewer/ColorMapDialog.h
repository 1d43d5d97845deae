// The palette editor ("Colour Setup"): edits its own copy of a colour map, which the caller
// takes back with getGradient after OK; asks for palette files to be opened or saved.
#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>

#include <memory>

class ColorMap;

class ColorMapDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ColorMapDialog(QWidget* poParent = nullptr);
    ~ColorMapDialog() override;

    // Copies the map into the dialog's own map and loads every control from it; the map handed
    // in is neither kept nor changed.
    void setGradient(ColorMap* poGradient);
    // The dialog's own map, as edited so far; it stays the dialog's.
    ColorMap* getGradient() const { return m_poMap; }
    // Shows the data range, which the preview runs over.
    void setDataRange(double dMin, double dMax);

signals:
    void openButtonClicked();
    void saveButtonClicked();

protected:
    void resizeEvent(QResizeEvent* poEvent) override;

private slots:
    void startColorChanged(const QColor& color);
    void stopColorChanged(const QColor& color);
    void startColorClicked();
    void stopColorClicked();
    void CWClicked();
    void CCWClicked();
    void cutClicked();
    void clampClicked();
    void wrapClicked();
    void dataMinChanged(double v);
    void dataMaxChanged(double v);
    void rangeMinChanged(double v);
    void rangeMaxChanged(double v);
    void autoMinToggled(bool bChecked);
    void autoMaxToggled(bool bChecked);
    void startTransparencyChanged(int nVal);
    void stopTransparencyChanged(int nVal);
    void staticColorClicked();
    void addClicked();
    void updateStaticColorTable();
    void updateStaticColorControllers();
    void deleteClicked();
    void updateGradient();

private:
    struct Form;
    // The selected band's row, -1 when none.
    int selectedBand() const;
    void setBandRow(int nRow, double dStart, double dStop, const QColor& color);
    void loadControls();

    std::unique_ptr<Form> m_pForm;
    ColorMap* m_poMap = nullptr;
    QPixmap m_checkerboard;
    QColor m_startColor;
    QColor m_stopColor;
    QColor m_staticColor{Qt::black};
};
