#pragma once

#include "tests/support/AppFixture.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QDialog;

// The program over a simulated drive, with helpers for discs, their catalogue files and the
// registration question.
class CatalogueFixture : public AppFixture {
protected:
    // The length value the device gives for `disc`: lead-out − first start − 1 frame, as MSF.
    static uint32_t lengthOf(const platform::SimulatedDisc &disc);
    static QString pathOf(uint32_t discLength);
    // The file's bytes, or "<none>" when it does not exist.
    static std::string fileBytes(uint32_t discLength);

    // Puts `disc` in (starting the program first if need be) and runs the tick that loads it.
    void load(const platform::SimulatedDisc &disc);
    // Opens the door and runs the tick that finds the drive empty.
    void eject();

    // Clicks the registration question's button captioned `caption`; false when `dialog` is not
    // the question or has no such button.
    static bool press(QDialog *dialog, const QString &caption);
    static bool isQuestion(QDialog *dialog);

private:
    bool m_started = false;
};

// Code page 932 bytes of a UTF-8 literal.
std::string sjis(const char *utf8);
