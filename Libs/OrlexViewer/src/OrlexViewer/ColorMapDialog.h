// The palette editor: edits one colour map and asks for palette files to be opened or saved.
#pragma once

#include <QDialog>

class ColorMapDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ColorMapDialog(QWidget* poParent = nullptr);
    ~ColorMapDialog() override;

signals:
    void openButtonClicked();
    void saveButtonClicked();
};
