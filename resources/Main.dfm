object frmMain: TfrmMain
  object QUENDRO: TProject
    AutoNaming = False
    Build = 4
    Log.Strings = (
      '2001/09/24 13:04:31: Project started.'
      '2001/09/24 13:06:39: Version 0.01'
      '2001/09/24 13:06:51: Versionresource written - build 1.'
      '2001/09/24 16:57:19: Error occured writing versionresource - build 59.'
      '2001/12/28 20:21:08: Versionresource written - build 4.')
    Version = '1.00'
    AutoBackup = False
    BackupFiles = '*.dfm;*.pas;*.dpr;*.dof;*.dsk;*.res'
    BackupPath = 'f:\backup'
    ProjectPath = 'f:\project\quendro'
    SmartBackup = True
    Company = 'Quendro Project'
    Copyright = 'Copyright (C) 2001 Quendro Project'
    Comment = 'Quendro プロジェクトのホームページ: http://www.quendro.example/'
    Description = 'Quendro 実行ファイル'
    SpecialBuild = '<How this build differs from a standard build>'
    PrivateBuild = '<Private information>'
    Productname = 'Quendro'
    ProductVersion = '1.00'
    OriginalName = 'QUENDRO.EXE'
    Trademarks = '<Legal trademarks used in this build>'
    Language = lanJapanese
    Charset = csMultilingual
    FileType = ftProgram
    ResourceFile = 'Version.res'
  end
end
