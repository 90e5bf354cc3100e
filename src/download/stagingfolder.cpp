#include "stagingfolder.h"

#include "albumfolder.h"

#include <QLockFile>

#include <utility>

StagingFolder::StagingFolder() = default;

StagingFolder::~StagingFolder()
{
    drop();
}

bool StagingFolder::create(const QString &saveFolder, QString *error)
{
    m_path = CreateStagingFolder(saveFolder, &m_lock, error);
    return !m_path.isEmpty();
}

void StagingFolder::drop()
{
    if (m_path.isEmpty())
        return;
    m_lock.reset();
    RemoveStagingFolder(std::exchange(m_path, QString()));
}

QString StagingFolder::partFile(int index) const
{
    return m_path + QStringLiteral("/.picture-%1.part").arg(index);
}
