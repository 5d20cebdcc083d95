-- Flow-management database, embedded (SQLite).
-- Users are the rows whose P_DOMAINE begins with USER: P_VAL1 name, P_VAL2 password, P_VAL4 group.
CREATE TABLE IF NOT EXISTS KESTRAVO_PARAM (
    P_DOMAINE TEXT,
    P_VAL1 TEXT,
    P_VAL2 TEXT,
    P_VAL3 TEXT,
    P_VAL4 TEXT,
    P_VAL5 TEXT
);
CREATE TABLE IF NOT EXISTS KESTRAVO_GROUP (
    GR000 TEXT,
    ADMIN TEXT,
    ETIQ TEXT,
    FEUILLE TEXT,
    LAD TEXT,
    NUM TEXT,
    EXPORT TEXT,
    VERIF TEXT,
    STAT TEXT,
    GED TEXT
);
CREATE TABLE IF NOT EXISTS kestravo_palette (
    PAL_CAB TEXT,
    PAL_POIDS NUMERIC(12, 3),
    PAL_LONGUEUR NUMERIC(12, 3),
    PAL_LARGEUR NUMERIC(12, 3),
    PAL_HAUTEUR NUMERIC(12, 3),
    PAL_STATUT TEXT,
    PAL_NO_TRAIN1 TEXT,
    PAL_REF_LOCARCHIV TEXT
);
-- A pallet code is the pallet's key. A database whose table already holds a code twice keeps
-- working without this index; the station tells an administrator.
CREATE UNIQUE INDEX IF NOT EXISTS kestravo_palette_cab_unique ON kestravo_palette (PAL_CAB);
CREATE TABLE IF NOT EXISTS kestravo_global (
    G_NO_PALETTE TEXT,
    g_type_uc TEXT,
    G_WF_ETAT TEXT,
    G_LOCALISATION_PERMANENTE TEXT,
    G_WF_PAL_CAB TEXT,
    G_WF_DATE_EXTRACTION VARCHAR(8),
    G_WF_DATE_MODIF VARCHAR(8),
    G_WF_USER_MODIF TEXT
);
CREATE INDEX IF NOT EXISTS kestravo_global_pal_cab ON kestravo_global (G_WF_PAL_CAB);
