// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/SysInfo.h"

#include <QDialog>

class Dialogs;
class QLabel;
class QPushButton;

// The about box: title, version, description, and a button that starts the
// desktop's system information tool. Modeless and without an owner, so it
// stays open when the main window closes.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(Dialogs &dialogs, QWidget *parent = nullptr);

    void StartSysInfo();
    // Where the system information tool is sought.
    void setSysInfoLocations(const SysInfo::Locations &where) { m_sysInfo = where; }

    QLabel *titleLabel() const { return lblTitle; }
    QLabel *versionLabel() const { return lblVersion; }
    QLabel *descriptionLabel() const { return lblDescription; }

    static QString versionText();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Form_Load();
    void fitButtons();

    Dialogs &m_dialogs;
    SysInfo::Locations m_sysInfo = SysInfo::defaultLocations();
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
    QLabel *Image1;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    double m_scale = 1.0 / 15;
};
