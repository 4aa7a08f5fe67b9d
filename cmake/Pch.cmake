# SPDX-License-Identifier: GPL-3.0-or-later
# Qt's headers are most of what each file compiles. They are parsed once into a precompiled header: the platform
# library has its own, the subsystems share the core library's, and the tests share the test support library's. The
# display-free libraries are a file or two each in a unity build, where a header of their own would gain little.
set(TARNIBE_PCH_QTCORE
    <QByteArray> <QDateTime> <QDir> <QElapsedTimer> <QFile> <QFileInfo> <QHash> <QList> <QObject> <QPointer>
    <QRegularExpression> <QString> <QStringList> <QTimer>)
set(TARNIBE_PCH_QTWIDGETS
    ${TARNIBE_PCH_QTCORE}
    <QAction> <QApplication> <QCheckBox> <QComboBox> <QDBusConnection> <QDBusMessage> <QGridLayout> <QGroupBox>
    <QHBoxLayout> <QIcon> <QLabel> <QLineEdit> <QListWidget> <QMenu> <QPainter> <QPlainTextEdit> <QPushButton>
    <QRadioButton> <QScreen> <QSystemTrayIcon> <QVBoxLayout> <QWidget>)
set(TARNIBE_PCH_QTTEST
    ${TARNIBE_PCH_QTWIDGETS}
    <QCoreApplication> <QProcess> <QSignalSpy> <QTcpServer> <QTcpSocket> <QTemporaryDir> <QTest>)

# tarnibe_pch(target QTCORE|QTWIDGETS|QTTEST) gives a target its own precompiled header;
# tarnibe_pch(target FROM other) shares other's.
function(tarnibe_pch target kind)
    if(kind STREQUAL "FROM")
        target_precompile_headers(${target} REUSE_FROM ${ARGV2})
    else()
        target_precompile_headers(${target} PRIVATE ${TARNIBE_PCH_${kind}})
    endif()
endfunction()

# A test includes its own moc file, so the file Qt compiles beside it is empty: loading the header would cost more
# than compiling it.
function(tarnibe_test_pch target support)
    tarnibe_pch(${target} FROM ${support})
    set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp"
                                PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()
