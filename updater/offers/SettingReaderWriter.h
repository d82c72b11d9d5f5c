#pragma once
// Common base of everything that is read from the option file and from SetupOption.ini. It
// exists so the owners can hold those objects polymorphically; reading and writing are the
// derived classes' own.
class CSettingReaderWriter {
public:
    CSettingReaderWriter() = default;
    virtual ~CSettingReaderWriter() = default;
    CSettingReaderWriter(const CSettingReaderWriter&) = default;
    CSettingReaderWriter& operator=(const CSettingReaderWriter&) = default;
};
