// The page's own words, in the browser's language: English, or French.
// The program's console text stays its own French.

const english = {
  title: "veldor: the images of SimCity 3000's IXF archives",
  intro:
    "Choose the IXF archives, or the whole folder that holds them. Everything happens in this page, on this computer: nothing is sent anywhere.",
  archives: "IXF archives",
  folder: "Folder of archives",
  drop: "or drop archives or a folder here",
  progress: "Progress",
  console: "Console",
  status: (code: number) => `Exit status: ${code}`,
  crashed: "The program stopped unexpectedly:",
  save: "Save into a folder…",
  save_help: "Writes each archive's folder and images into a folder you choose.",
  no_save: "This browser cannot write into a folder: download the .zip instead.",
  saved: (count: number) => `Saved: ${count} files.`,
  save_failed: "Could not save:",
  zip: "Download .zip",
  zipping: "Making veldor.zip…",
  images: "Images",
  undecodable: "This browser cannot show this image.",
};

const french: typeof english = {
  title: "veldor : les images des archives IXF de SimCity 3000",
  intro:
    "Choisissez les archives IXF, ou tout le dossier qui les contient. Tout se passe dans cette page, sur cet ordinateur : rien n'est envoyé nulle part.",
  archives: "Archives IXF",
  folder: "Dossier d'archives",
  drop: "ou déposez ici des archives ou un dossier",
  progress: "Avancement",
  console: "Console",
  status: (code: number) => `Code de sortie : ${code}`,
  crashed: "Le programme s'est arrêté de façon inattendue :",
  save: "Enregistrer dans un dossier…",
  save_help: "Écrit le dossier et les images de chaque archive dans un dossier de votre choix.",
  no_save: "Ce navigateur ne peut pas écrire dans un dossier : téléchargez plutôt le .zip.",
  saved: (count: number) => `Enregistré : ${count} fichiers.`,
  save_failed: "Enregistrement impossible :",
  zip: "Télécharger le .zip",
  zipping: "Préparation de veldor.zip…",
  images: "Images",
  undecodable: "Ce navigateur ne sait pas afficher cette image.",
};

export const in_french = navigator.language.toLowerCase().startsWith("fr");
export const words = in_french ? french : english;
