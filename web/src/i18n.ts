// The page's own words, in the browser's language: English, or French.
// The program's console text stays its own French.

// What stopped a run, as the page explains it: a report the program can
// make (the system's words after "Error (VELDOR.EXE): "), or the page's
// own failure.
export type Trouble = "no_archive" | "file_in_the_way" | "same_folder" | "unreadable" | "memory" | "crash" | "other";

const english = {
  title: "veldor: the images of SimCity 3000's IXF archives",
  heading: "The images of SimCity 3000's archives",
  intro:
    "Choose SimCity 3000's IXF archives, or the whole folder that holds them: veldor copies out every image they hold, as BMP files. Everything happens in this page, on this computer: nothing is sent anywhere.",
  archives: "IXF archives",
  folder: "Folder of archives",
  no_folder: "This browser cannot choose a folder: choose the archives themselves instead.",
  drop: "or drop archives or a folder here",
  progress: "Progress",
  console: "Console",
  exit_status: (code: number) => `exit status ${code}`,
  done: (images: number, archives: number, rejected: number) =>
    `Done: ${count(images, "image", "images")} from ${count(archives, "archive", "archives")}` +
    (rejected ? `; ${count(rejected, "file was", "files were")} no IXF archive.` : "."),
  stopped: "Stopped:",
  troubles: {
    no_archive: "none of the files chosen is an IXF archive. Choose the files whose names end in .IXF, or the folder that holds them.",
    file_in_the_way:
      "a file stands where an archive's folder goes (the archive's name without .IXF). Leave that file out of what you choose, or rename it, and choose again.",
    same_folder:
      "two archives would put their images into the same folder: their names differ only in the case of their extension. Choose them one at a time.",
    unreadable:
      "an archive could not be read: it may have been changed or moved since it was chosen, or be on a disk that was taken out. Choose it again.",
    memory: "the browser has no more memory for the images. Save what was extracted, then choose fewer archives at a time.",
    crash: "the page failed while it ran veldor; it may have run out of memory. Choose fewer archives at a time.",
    other: "veldor stopped at the error shown above.",
  } as Record<Trouble, string>,
  can_save: (images: number) =>
    images === 1 ? " The image extracted before can still be saved." : ` The ${images} images extracted before can still be saved.`,
  save: "Save into a folder…",
  save_help: "Writes each archive's folder and images into a folder you choose.",
  no_save: "This browser cannot write into a folder: download the .zip instead.",
  saving: (done: number, total: number) => `Saving: ${done} of ${total} files…`,
  saved: (total: number) => `Saved: ${count(total, "file", "files")}.`,
  save_failed: "Could not save:",
  zip: "Download .zip",
  zipping: (done: number, total: number) => `Making veldor.zip: ${done} of ${total} images…`,
  zipped: (size: string) => `veldor.zip (${size}) is offered for download.`,
  zip_too_big: (size: string) =>
    `The images make ${size}, more than one .zip made in a browser can hold. Save them into a folder, or choose fewer archives at a time.`,
  zip_failed: "Could not make veldor.zip:",
  images: "Images",
  undecodable: "This entry holds no image that can be shown.",
  sheared_short: "rows unpadded",
  sheared: "Its rows are not padded to 4 bytes, as BMP files' are: ordinary BMP viewers show this image sheared.",
};

const french: typeof english = {
  title: "veldor : les images des archives IXF de SimCity 3000",
  heading: "Les images des archives de SimCity 3000",
  intro:
    "Choisissez les archives IXF de SimCity 3000, ou tout le dossier qui les contient : veldor en copie chaque image, en fichiers BMP. Tout se passe dans cette page, sur cet ordinateur : rien n'est envoyé nulle part.",
  archives: "Archives IXF",
  folder: "Dossier d'archives",
  no_folder: "Ce navigateur ne sait pas choisir un dossier : choisissez plutôt les archives elles-mêmes.",
  drop: "ou déposez ici des archives ou un dossier",
  progress: "Avancement",
  console: "Console",
  exit_status: (code: number) => `code de sortie ${code}`,
  done: (images: number, archives: number, rejected: number) =>
    `Terminé : ${count(images, "image", "images")} de ${count(archives, "archive", "archives")}` +
    (rejected ? ` ; ${count(rejected, "fichier n'était", "fichiers n'étaient")} pas une archive IXF.` : "."),
  stopped: "Arrêté :",
  troubles: {
    no_archive:
      "aucun des fichiers choisis n'est une archive IXF. Choisissez les fichiers dont le nom finit par .IXF, ou le dossier qui les contient.",
    file_in_the_way:
      "un fichier se trouve là où va le dossier d'une archive (le nom de l'archive sans .IXF). Laissez ce fichier de côté ou renommez-le, puis choisissez à nouveau.",
    same_folder:
      "deux archives mettraient leurs images dans le même dossier : leurs noms ne diffèrent que par la casse de l'extension. Choisissez-les l'une après l'autre.",
    unreadable:
      "une archive n'a pas pu être lue : elle a peut-être été modifiée ou déplacée depuis qu'elle a été choisie, ou son disque retiré. Choisissez-la à nouveau.",
    memory: "le navigateur n'a plus de mémoire pour les images. Enregistrez ce qui a été extrait, puis choisissez moins d'archives à la fois.",
    crash: "la page a échoué pendant qu'elle exécutait veldor ; la mémoire a peut-être manqué. Choisissez moins d'archives à la fois.",
    other: "veldor s'est arrêté sur l'erreur affichée ci-dessus.",
  },
  can_save: (images: number) =>
    images === 1
      ? " L'image extraite auparavant peut encore être enregistrée."
      : ` Les ${images} images extraites auparavant peuvent encore être enregistrées.`,
  save: "Enregistrer dans un dossier…",
  save_help: "Écrit le dossier et les images de chaque archive dans un dossier de votre choix.",
  no_save: "Ce navigateur ne peut pas écrire dans un dossier : téléchargez plutôt le .zip.",
  saving: (done: number, total: number) => `Enregistrement : ${done} fichiers sur ${total}…`,
  saved: (total: number) => `Enregistré : ${count(total, "fichier", "fichiers")}.`,
  save_failed: "Enregistrement impossible :",
  zip: "Télécharger le .zip",
  zipping: (done: number, total: number) => `Préparation de veldor.zip : ${done} images sur ${total}…`,
  zipped: (size: string) => `veldor.zip (${size}) est proposé au téléchargement.`,
  zip_too_big: (size: string) =>
    `Les images font ${size}, plus qu'un .zip fait dans un navigateur ne peut contenir. Enregistrez-les dans un dossier, ou choisissez moins d'archives à la fois.`,
  zip_failed: "Impossible de faire veldor.zip :",
  images: "Images",
  undecodable: "Cette entrée ne contient aucune image affichable.",
  sheared_short: "lignes sans remplissage",
  sheared:
    "Ses lignes ne sont pas complétées à 4 octets comme celles des fichiers BMP : les visionneuses BMP ordinaires montrent cette image cisaillée.",
};

// |n| with the word for one or for several: "1 image", "3 images".
function count(n: number, one: string, several: string): string {
  return `${n} ${n === 1 ? one : several}`;
}

export const in_french = navigator.language.toLowerCase().startsWith("fr");
export const words = in_french ? french : english;

/** What stopped a run whose report, after "Error (VELDOR.EXE): ", reads |report|, no archive having been announced where |announced| is false. */
export function trouble_of(report: string, announced: boolean): Trouble {
  const known: Record<string, Trouble> = {
    "No such file or directory": announced ? "other" : "no_archive",
    "Not a directory": "file_in_the_way",
    "File exists": "same_folder",
    "I/O error": "unreadable",
    "No space left on device": "memory",
    "Out of memory": "memory",
  };
  return known[report] ?? "other";
}
