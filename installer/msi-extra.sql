-- Rows of Kova.msi that wixl 0.101 cannot write; msi.cmake runs one statement a line after
-- wixl, with @VERSION@ replaced. Lines starting with "--" are comments.
-- Component conditions: the logon entry unless STARTATLOGON=0; the NSIS leftovers' removal
-- only over an NSIS installation.
UPDATE `Component` SET `Condition` = 'STARTATLOGON = "1"' WHERE `Component` = 'RunAtLogon'
UPDATE `Component` SET `Condition` = 'NSIS_UNINSTALLER' WHERE `Component` = 'NsisLeftovers'
-- The two properties reach the installation service also when the one installing is not an
-- administrator (a managed or advertised installation).
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;KOVA_SAME_VERSION_FOUND;STARTATLOGON;START' WHERE `Property` = 'SecureCustomProperties'
-- The program's file version, so that Windows Installer compares versions rather than
-- dates with a Kova.exe already there (an NSIS installation's); the other files follow it.
UPDATE `File` SET `Version` = '@VERSION@', `Language` = '0' WHERE `File` = 'KovaExe'
UPDATE `File` SET `Version` = 'KovaExe' WHERE `File` <> 'KovaExe'
-- Short names for the templates, whose long names are not 8.3 ones (wixl writes none).
UPDATE `File` SET `FileName` = 'KOVA.ADX|Kova.admx' WHERE `FileName` = 'Kova.admx'
UPDATE `File` SET `FileName` = 'KOVA.ADL|Kova.adml' WHERE `FileName` = 'Kova.adml'
-- The same version is detected inclusively at both ends (wixl drops IncludeMaximum;
-- Attributes is part of the key, so the row is replaced).
DELETE FROM `Upgrade` WHERE `ActionProperty` = 'KOVA_SAME_VERSION_FOUND'
INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{@UPGRADE_CODE@}', '@VERSION@', '@VERSION@', 770, 'KOVA_SAME_VERSION_FOUND')
-- Over an NSIS installation: its uninstaller and its uninstall key go, so that only this
-- package's entry shows in Add/Remove Programs. "-" removes the key with all its values.
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('NsisUninstaller', 'NsisLeftovers', 'Uninstall.exe', 'INSTALLDIR', 1)
CREATE TABLE `RemoveRegistry` (`RemoveRegistry` CHAR(72) NOT NULL, `Root` SHORT NOT NULL, `Key` CHAR(255) NOT NULL LOCALIZABLE, `Name` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `RemoveRegistry`)
INSERT INTO `RemoveRegistry` (`RemoveRegistry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('NsisUninstallKey', 2, 'Software\Microsoft\Windows\CurrentVersion\Uninstall\Kova', '-', 'NsisLeftovers')
