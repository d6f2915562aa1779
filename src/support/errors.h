// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace zk {

// Base of every error the program reports to the user. The message is German and complete: the
// application shows it unchanged in a message box (or on stderr from the command line).
class Error : public std::exception {
public:
    explicit Error(QString message);
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Arithmetic that cannot be carried out: the evaluator's "Fehler:Fehler in …" and Power's
// "Potenzieren".
class MathError : public Error {
public:
    using Error::Error;
};

// A text that cannot be read as a number.
class ConversionError : public Error {
public:
    using Error::Error;
};

// A value outside the range of its integer type.
class RangeError : public Error {
public:
    using Error::Error;
};

// A file that could not be written (all-or-nothing writes leave the old file in place).
class FileError : public Error {
public:
    using Error::Error;
};

} // namespace zk
