// A symbolic link at one path that follows the meter from pseudo-terminal to pseudo-terminal,
// so that a program opens the same path before the meter vanishes and after it comes back.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace Sim {

class StableLink {
public:
    // path: where the link lives; empty: "meter" in a temporary directory of its own, made by
    // the first pointAt().
    explicit StableLink(const QString &path = {});
    ~StableLink();
    StableLink(const StableLink &) = delete;
    StableLink &operator=(const StableLink &) = delete;

    // Points the link at target, replacing an earlier link in one step, so that the path never
    // stops being a link. False with a one-line reason when the path is taken by anything but a
    // symbolic link (never replaced, whatever it is) or no link can be made there.
    bool pointAt(const QString &target, QString *error);
    // The link's path; empty before a temporary one is made.
    QString path() const { return m_path; }
    // Removes the link if it still is one, and the temporary directory.
    void remove();

private:
    QString m_requested;
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_made = false;
};

} // namespace Sim
