#pragma once

#include <QObject>
#include <exception>

// The application-wide error report: the failure's message in a notice with one OK button.
void aevQuillbyException(QObject* Sender, const std::exception& E);
